#include "InstallerTree.h"

namespace skintest {

using namespace SkinUI;

namespace {

template <typename T> T* Make(const wchar_t* attributes = L"") {
    T* control = new T;
    control->ApplyAttributeList(attributes);
    return control;
}

CControlUI* Leaf(const wchar_t* attributes) {
    return Make<CControlUI>(attributes);
}

// The logo column shared by all three pages: a 262-high row with a stretch, a
// 311-wide column holding the 72-high logo between two stretches, a stretch.
CHorizontalLayoutUI* LogoRow(std::map<std::string, CControlUI*>& at, const std::string& page) {
    CHorizontalLayoutUI* row = Make<CHorizontalLayoutUI>(L"height=\"262\"");
    CHorizontalLayoutUI* left = Make<CHorizontalLayoutUI>();
    CVerticalLayoutUI* column = Make<CVerticalLayoutUI>(L"width=\"311\"");
    CHorizontalLayoutUI* right = Make<CHorizontalLayoutUI>();
    CVerticalLayoutUI* above = Make<CVerticalLayoutUI>();
    CControlUI* logo = Leaf(L"height=\"72\"");
    CVerticalLayoutUI* below = Make<CVerticalLayoutUI>();
    column->Add(above);
    column->Add(logo);
    column->Add(below);
    row->Add(left);
    row->Add(column);
    row->Add(right);
    at[page + ".row"] = row;
    at[page + ".row.left"] = left;
    at[page + ".row.column"] = column;
    at[page + ".row.right"] = right;
    at[page + ".logo.above"] = above;
    at[page + ".logo"] = logo;
    at[page + ".logo.below"] = below;
    return row;
}

} // namespace

InstallerTree::InstallerTree() {
    root = Make<CVerticalLayoutUI>();
    CTabLayoutUI* tab = Make<CTabLayoutUI>(L"name=\"tablayout\"");
    at["root"] = root;
    at["tablayout"] = tab;

    // ---- Page 1: welcome, with the options panel below the fold ------------
    CVerticalLayoutUI* page1 = Make<CVerticalLayoutUI>();
    CVerticalLayoutUI* top = Make<CVerticalLayoutUI>(L"height=\"420\"");
    top->Add(LogoRow(at, "page1"));
    CVerticalLayoutUI* lower = Make<CVerticalLayoutUI>(L"height=\"158\"");
    CHorizontalLayoutUI* gap20 = Make<CHorizontalLayoutUI>(L"height=\"20\"");
    CHorizontalLayoutUI* installRow = Make<CHorizontalLayoutUI>(L"height=\"64\"");
    CHorizontalLayoutUI* installLeft = Make<CHorizontalLayoutUI>();
    CControlUI* install = Leaf(L"name=\"install\" width=\"200\"");
    CHorizontalLayoutUI* installRight = Make<CHorizontalLayoutUI>();
    installRow->Add(installLeft);
    installRow->Add(install);
    installRow->Add(installRight);
    CHorizontalLayoutUI* gap52 = Make<CHorizontalLayoutUI>(L"height=\"52\"");
    CHorizontalLayoutUI* agreeRow = Make<CHorizontalLayoutUI>(L"height=\"15\"");
    CHorizontalLayoutUI* gap10 = Make<CHorizontalLayoutUI>(L"width=\"10\"");
    CControlUI* agree = Leaf(L"name=\"agree\" width=\"14\"");
    CHorizontalLayoutUI* gap5 = Make<CHorizontalLayoutUI>(L"width=\"5\"");
    CControlUI* agreeText = Leaf(L"width=\"110\"");
    CControlUI* agreement = Leaf(L"name=\"agreement\" width=\"100\"");
    CControlUI* privacy = Leaf(L"name=\"btn_private\" width=\"100\"");
    CHorizontalLayoutUI* agreeSpacer = Make<CHorizontalLayoutUI>();
    CControlUI* custom = Leaf(L"name=\"custom\" width=\"80\"");
    CHorizontalLayoutUI* gapEnd = Make<CHorizontalLayoutUI>(L"width=\"10\"");
    for (CControlUI* c : {static_cast<CControlUI*>(gap10), agree, static_cast<CControlUI*>(gap5),
                          agreeText, agreement, privacy, static_cast<CControlUI*>(agreeSpacer),
                          custom, static_cast<CControlUI*>(gapEnd)})
        agreeRow->Add(c);
    lower->Add(gap20);
    lower->Add(installRow);
    lower->Add(gap52);
    lower->Add(agreeRow);
    top->Add(lower);

    CVerticalLayoutUI* bottom = Make<CVerticalLayoutUI>(L"height=\"122\"");
    CHorizontalLayoutUI* gap30 = Make<CHorizontalLayoutUI>(L"height=\"30\"");
    CHorizontalLayoutUI* pathRow = Make<CHorizontalLayoutUI>(L"height=\"40\"");
    CHorizontalLayoutUI* pathLeft = Make<CHorizontalLayoutUI>();
    CControlUI* path = Leaf(L"name=\"path\" width=\"390\"");
    CHorizontalLayoutUI* gap25 = Make<CHorizontalLayoutUI>(L"width=\"25\"");
    CControlUI* browse = Leaf(L"name=\"browse\" width=\"83\"");
    CHorizontalLayoutUI* pathRight = Make<CHorizontalLayoutUI>();
    for (CControlUI* c : {static_cast<CControlUI*>(pathLeft), path, static_cast<CControlUI*>(gap25),
                          browse, static_cast<CControlUI*>(pathRight)})
        pathRow->Add(c);
    CHorizontalLayoutUI* gap20b = Make<CHorizontalLayoutUI>(L"height=\"20\"");
    CHorizontalLayoutUI* linkRow = Make<CHorizontalLayoutUI>(L"height=\"15\"");
    CHorizontalLayoutUI* gap50 = Make<CHorizontalLayoutUI>(L"width=\"50\"");
    CControlUI* desktop = Leaf(L"name=\"desktopLnk\" width=\"100\"");
    CHorizontalLayoutUI* gap30b = Make<CHorizontalLayoutUI>(L"width=\"30\"");
    CControlUI* startMenu = Leaf(L"name=\"startMenuLnk\" width=\"120\"");
    for (CControlUI* c :
         {static_cast<CControlUI*>(gap50), desktop, static_cast<CControlUI*>(gap30b), startMenu})
        linkRow->Add(c);
    bottom->Add(gap30);
    bottom->Add(pathRow);
    bottom->Add(gap20b);
    bottom->Add(linkRow);

    page1->Add(top);
    page1->Add(bottom);

    at["page1"] = page1;
    at["page1.top"] = top;
    at["page1.lower"] = lower;
    at["page1.gap20"] = gap20;
    at["page1.installRow"] = installRow;
    at["page1.installRow.left"] = installLeft;
    at["install"] = install;
    at["page1.installRow.right"] = installRight;
    at["page1.gap52"] = gap52;
    at["page1.agreeRow"] = agreeRow;
    at["page1.agreeRow.gap10"] = gap10;
    at["agree"] = agree;
    at["page1.agreeRow.gap5"] = gap5;
    at["page1.agreeText"] = agreeText;
    at["agreement"] = agreement;
    at["btn_private"] = privacy;
    at["page1.agreeRow.spacer"] = agreeSpacer;
    at["custom"] = custom;
    at["page1.agreeRow.gapEnd"] = gapEnd;
    at["page1.bottom"] = bottom;
    at["page1.gap30"] = gap30;
    at["page1.pathRow"] = pathRow;
    at["page1.pathRow.left"] = pathLeft;
    at["path"] = path;
    at["page1.pathRow.gap25"] = gap25;
    at["browse"] = browse;
    at["page1.pathRow.right"] = pathRight;
    at["page1.gap20b"] = gap20b;
    at["page1.linkRow"] = linkRow;
    at["page1.linkRow.gap50"] = gap50;
    at["desktopLnk"] = desktop;
    at["page1.linkRow.gap30"] = gap30b;
    at["startMenuLnk"] = startMenu;

    // ---- Page 2: progress ---------------------------------------------------
    CVerticalLayoutUI* page2 = Make<CVerticalLayoutUI>(L"height=\"420\"");
    page2->Add(LogoRow(at, "page2"));
    CHorizontalLayoutUI* progressRow = Make<CHorizontalLayoutUI>(L"height=\"158\"");
    CHorizontalLayoutUI* progressLeft = Make<CHorizontalLayoutUI>();
    CVerticalLayoutUI* progressColumn = Make<CVerticalLayoutUI>(L"width=\"490\"");
    CVerticalLayoutUI* progressAbove = Make<CVerticalLayoutUI>();
    CVerticalLayoutUI* progressBox = Make<CVerticalLayoutUI>(L"height=\"30\"");
    CControlUI* progressText = Leaf(L"height=\"15\"");
    CVerticalLayoutUI* gap9 = Make<CVerticalLayoutUI>(L"height=\"9\"");
    CControlUI* progress = Leaf(L"name=\"progress\" height=\"6\"");
    progressBox->Add(progressText);
    progressBox->Add(gap9);
    progressBox->Add(progress);
    CVerticalLayoutUI* progressBelow = Make<CVerticalLayoutUI>();
    progressColumn->Add(progressAbove);
    progressColumn->Add(progressBox);
    progressColumn->Add(progressBelow);
    CHorizontalLayoutUI* progressRight = Make<CHorizontalLayoutUI>();
    progressRow->Add(progressLeft);
    progressRow->Add(progressColumn);
    progressRow->Add(progressRight);
    page2->Add(progressRow);
    at["page2"] = page2;
    at["page2.progressRow"] = progressRow;
    at["page2.progressColumn"] = progressColumn;
    at["page2.progressAbove"] = progressAbove;
    at["page2.progressBox"] = progressBox;
    at["page2.progressText"] = progressText;
    at["progress"] = progress;
    at["page2.progressBelow"] = progressBelow;

    // ---- Page 3: finish ----------------------------------------------------
    CVerticalLayoutUI* page3 = Make<CVerticalLayoutUI>(L"height=\"420\"");
    page3->Add(LogoRow(at, "page3"));
    CVerticalLayoutUI* finishPart = Make<CVerticalLayoutUI>(L"height=\"158\"");
    CHorizontalLayoutUI* gap40 = Make<CHorizontalLayoutUI>(L"height=\"40\"");
    CHorizontalLayoutUI* successRow = Make<CHorizontalLayoutUI>(L"height=\"64\"");
    successRow->Add(Make<CHorizontalLayoutUI>());
    CControlUI* success = Leaf(L"name=\"success\" width=\"200\"");
    successRow->Add(success);
    successRow->Add(Make<CHorizontalLayoutUI>());
    finishPart->Add(gap40);
    finishPart->Add(successRow);
    page3->Add(finishPart);
    at["page3"] = page3;
    at["success"] = success;

    tab->Add(page1);
    tab->Add(page2);
    tab->Add(page3);
    root->Add(tab);
    CControlUI* minBtn =
        Leaf(L"name=\"minBtn\" tipvalue=\"min\" width=\"13\" height=\"13\" float=\"true\" "
             L"pos=\"504,10,0,0\"");
    CControlUI* closeBtn =
        Leaf(L"name=\"closeBtn\" tipvalue=\"close\" width=\"13\" height=\"13\" float=\"true\" "
             L"pos=\"536,10,0,0\"");
    root->Add(minBtn);
    root->Add(closeBtn);
    at["minBtn"] = minBtn;
    at["closeBtn"] = closeBtn;
}

} // namespace skintest

#include "skinui/core/Markup.h"
#include "skinui/core/ResourceZip.h"
#include "skinui/window/PaintManagerUI.h"
#include "skinui/render/ResourceManager.h"
#include "tests/support/TestZip.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

using SkinUI::CMarkup;
using SkinUI::CPaintManagerUI;
using SkinUI::CResourceManager;

namespace {

TEST(PaintManagerSource, ResourcePathAlwaysEndsWithASeparator) {
    const struct {
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {
        {L"C:\\skin", L"C:\\skin\\"},
        {L"C:\\skin\\", L"C:\\skin\\"},
        {L"C:\\skin/", L"C:\\skin/"},
        {L"", L""},
        {nullptr, L""},
    };
    for (const auto& c : cases) {
        CPaintManagerUI::SetResourcePath(c.in);
        EXPECT_EQ(std::wstring(c.out), CPaintManagerUI::GetResourcePath().GetData());
    }
}

TEST(PaintManagerSource, InstanceAndResourceModule) {
    EXPECT_TRUE(CPaintManagerUI::GetInstancePath().IsEmpty()) << "no instance yet";
    HINSTANCE self = GetModuleHandleW(nullptr);
    CPaintManagerUI::SetInstance(self);
    EXPECT_EQ(self, CPaintManagerUI::GetInstance());
    EXPECT_EQ(self, CPaintManagerUI::GetResourceDll());

    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(self, exe, MAX_PATH);
    std::wstring dir(exe);
    dir.resize(dir.rfind(L'\\') + 1);
    EXPECT_EQ(dir, CPaintManagerUI::GetInstancePath().GetData());

    HINSTANCE kernel = GetModuleHandleW(L"kernel32.dll");
    CPaintManagerUI::SetResourceDll(kernel);
    EXPECT_EQ(kernel, CPaintManagerUI::GetResourceDll());
    CPaintManagerUI::SetResourceDll(nullptr);
    CPaintManagerUI::SetInstance(nullptr);

    EXPECT_EQ(1, CPaintManagerUI::GetResourceType());
    CPaintManagerUI::SetResourceType(4);
    EXPECT_EQ(4, CPaintManagerUI::GetResourceType());
}

std::string Archive(const char* root) {
    std::vector<qmtest::ZipEntry> entries(1);
    entries[0].name = "skin.xml";
    entries[0].data = std::string("<") + root + "/>";
    return qmtest::BuildZip(entries);
}

TEST(PaintManagerSource, SecondMemoryArchiveIsIgnored) {
    const std::string first = Archive("First");
    const std::string second = Archive("Second");
    CPaintManagerUI::SetResourceZip(first.data(), static_cast<unsigned>(first.size()));
    EXPECT_EQ(std::wstring(L"membuffer"), CPaintManagerUI::GetResourceZip().GetData());
    SkinUI::CResourceZip* handle = CPaintManagerUI::GetResourceZipHandle();
    ASSERT_NE(nullptr, handle);
    CPaintManagerUI::SetResourceZip(second.data(), static_cast<unsigned>(second.size()));
    EXPECT_EQ(handle, CPaintManagerUI::GetResourceZipHandle());
    CMarkup m;
    ASSERT_TRUE(m.LoadFromFile(L"Skin.XML"));
    EXPECT_STREQ(L"First", m.GetRoot().GetName());

    // Term forgets the block, so a later configuration takes effect.
    CPaintManagerUI::Term();
    EXPECT_EQ(nullptr, CPaintManagerUI::GetResourceZipHandle());
    EXPECT_TRUE(CPaintManagerUI::GetResourceZip().IsEmpty());
    CPaintManagerUI::SetResourceZip(second.data(), static_cast<unsigned>(second.size()));
    ASSERT_TRUE(m.LoadFromFile(L"skin.xml"));
    EXPECT_STREQ(L"Second", m.GetRoot().GetName());
    CPaintManagerUI::Term();
}

TEST(PaintManagerSource, MemoryArchiveIsUsedEvenWhenNotCached) {
    CPaintManagerUI::SetResourceZip(L"", false);
    EXPECT_FALSE(CPaintManagerUI::IsCachedResourceZip());
    const std::string bytes = Archive("Window");
    CPaintManagerUI::SetResourceZip(bytes.data(), static_cast<unsigned>(bytes.size()));
    CMarkup m;
    ASSERT_TRUE(m.LoadFromFile(L"skin.xml"));
    EXPECT_STREQ(L"Window", m.GetRoot().GetName());
    CPaintManagerUI::Term();
    CPaintManagerUI::SetResourceZip(L"", true);
}

TEST(PaintManagerSource, ResourceManagerTablesStartEmpty) {
    CResourceManager* rm = CResourceManager::GetInstance();
    EXPECT_EQ(rm, CResourceManager::GetInstance());
    EXPECT_EQ(nullptr, rm->GetImagePath(L"logo.png"));
    EXPECT_EQ(nullptr, rm->GetXmlPath(L"skin.xml"));
    rm->SetXmlPath(L"skin.xml", L"other.xml");
    EXPECT_STREQ(L"other.xml", rm->GetXmlPath(L"skin.xml"));
    rm->SetXmlPath(L"skin.xml", L"third.xml");
    EXPECT_STREQ(L"third.xml", rm->GetXmlPath(L"skin.xml"));
    rm->ResetPaths();
    EXPECT_EQ(nullptr, rm->GetXmlPath(L"skin.xml"));
}

} // namespace

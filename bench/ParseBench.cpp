// Parse throughput of the skin document parser on a large generated skin
// (about 10,000 elements with attributes), printed beside its floor: the bare
// UTF-8 to UTF-16 conversion of the same bytes into memory of the document's
// own, which every load has to do. The parser is expected to stay within 3 x
// the floor.
//
// The conversion into a buffer used before is printed too. The difference is
// the first use of fresh memory, which the system pays page by page; on some
// virtual machines a page costs as much as converting its text many times
// over, and that cost, not the parser, would then set the figure.
#include "bench/BenchTiming.h"
#include "skinui/core/Markup.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using SkinUI::CMarkup;

namespace {

// Containers of controls, as a real skin nests them: a Window, then 100
// layouts of 99 controls each, with the attribute mix of the installer's skin
// (numbers, colours, image descriptions in single quotes, Chinese text, an
// entity now and then).
std::string GenerateSkin() {
    std::string xml =
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?>\r\n"
        "<Window size=\"560,420\" defaultfontcolor=\"#00000000\" "
        "caption=\"0,0,0,262\" roundcorner=\"3,3\">\r\n"
        "  <Font id=\"0\" name=\"\xE5\xBE\xAE\xE8\xBD\xAF\xE9\x9B\x85\xE9\xBB\x91\" "
        "size=\"13\" bold=\"false\" shared=\"true\" />\r\n"
        "  <VerticalLayout>\r\n";
    char line[512];
    for (int layout = 0; layout < 100; ++layout) {
        snprintf(line, sizeof(line),
                 "    <HorizontalLayout name=\"row%d\" height=\"%d\" bkcolor=\"#FFF%05X\" "
                 "padding=\"10,5,10,5\">\r\n",
                 layout, 20 + layout % 40, layout * 37);
        xml += line;
        for (int i = 0; i < 99; ++i) {
            switch (i % 3) {
            case 0:
                snprintf(line, sizeof(line),
                         "      <Button name=\"btn_%d_%d\" width=\"%d\" height=\"30\" "
                         "normalimage=\"file='buttom.png' source='0,0,200,48' "
                         "corner='4,4,4,4'\" hotimage=\"file='buttom.png' source='0,48,200,96'\" "
                         "text=\"\xE7\xAB\x8B\xE5\x8D\xB3\xE5\xAE\x89\xE8\xA3\x85\" font=\"2\" "
                         "textcolor=\"#FFFFFFFF\" />\r\n",
                         layout, i, 60 + i);
                break;
            case 1:
                snprintf(line, sizeof(line),
                         "      <Label name=\"label_%d_%d\" text=\"Terms &amp; privacy %d\" "
                         "textcolor=\"#FF333333\" font=\"1\" align=\"left\" "
                         "padding=\"0,%d,0,0\" />\r\n",
                         layout, i, i, i % 9);
                break;
            default:
                snprintf(line, sizeof(line),
                         "      <Option name=\"opt_%d_%d\" group=\"g%d\" selected=\"%s\" "
                         "normalimage=\"option_normal.png\" selectedimage=\"option_select.png\" "
                         "textpadding=\"20,0,0,0\">item %d</Option>\r\n",
                         layout, i, layout, i % 2 ? "true" : "false", i);
                break;
            }
            xml += line;
        }
        xml += "    </HorizontalLayout>\r\n";
    }
    xml += "  </VerticalLayout>\r\n</Window>\r\n";
    return xml;
}

} // namespace

int main() {
    const std::string xml = GenerateSkin();
    const double mib = static_cast<double>(xml.size()) / (1024.0 * 1024.0);
    const int rounds = 40;

    // The floor and the parse are measured in alternation, so that a busy
    // machine slows both alike; the best round of each counts.
    std::vector<wchar_t> wide(xml.size() + 1);
    std::vector<BYTE> copy(xml.begin(), xml.end());
    CMarkup markup;
    int converted = 0;
    bool ok = true;
    double warm = 1e30;
    double floor = 1e30;
    double parse = 1e30;
    for (int r = 0; r < rounds; ++r) {
        double start = bench::Now();
        converted =
            MultiByteToWideChar(CP_UTF8, 0, xml.data() + 3, static_cast<int>(xml.size() - 3),
                                wide.data(), static_cast<int>(wide.size()));
        warm = std::min(warm, bench::Now() - start);

        // As a load owns its text: a new buffer, sized by the byte count.
        start = bench::Now();
        wchar_t* own = new wchar_t[xml.size() + 1];
        converted =
            MultiByteToWideChar(CP_UTF8, 0, xml.data() + 3, static_cast<int>(xml.size() - 3), own,
                                static_cast<int>(xml.size() + 1));
        floor = std::min(floor, bench::Now() - start);
        delete[] own;

        // LoadFromMem may change its input in place, so each round parses a
        // fresh copy, made outside the timed part.
        std::copy(xml.begin(), xml.end(), copy.begin());
        markup.Release();
        start = bench::Now();
        ok = markup.LoadFromMem(copy.data(), static_cast<DWORD>(copy.size()), 0) && ok;
        parse = std::min(parse, bench::Now() - start);
    }

    int elements = 0;
    for (SkinUI::CMarkupNode row = markup.GetRoot().GetChild(L"VerticalLayout").GetChild();
         row.IsValid(); row = row.GetSibling()) {
        for (SkinUI::CMarkupNode c = row.GetChild(); c.IsValid(); c = c.GetSibling())
            ++elements;
    }
    if (!ok || converted <= 0 || elements != 9900) {
        printf("parse_bench: the generated document did not parse (%d elements)\n", elements);
        return 1;
    }

    const double ratio = parse / floor;
    printf("skin document: %.2f MiB, %d controls\n", mib, elements);
    printf("floor  UTF-8 -> UTF-16 conversion into a new buffer: %8.1f MiB/s  (%.2f ms)\n",
           mib / floor, floor * 1000.0);
    printf("       the same into a buffer used before:          %8.1f MiB/s  (%.2f ms)\n",
           mib / warm, warm * 1000.0);
    printf("parse  CMarkup::LoadFromMem                         : %8.1f MiB/s  (%.2f ms)\n",
           mib / parse, parse * 1000.0);
    printf("ratio  parse / floor                                : %8.2f x  (target <= 3.00 x)\n",
           ratio);
    printf("       parse / conversion into a buffer used before : %8.2f x\n", parse / warm);
    return 0;
}

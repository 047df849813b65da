// The resources as committed: ids, the dialog template in the resource
// script, and the icon and banner files read from their headers.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "resource.h"
#include "settings/settings.h"
#include "ui/controls.h"

namespace {

std::string ReadSourceFile(const char* relative)
{
    std::ifstream in(std::string(BLANKMENDER_SOURCE_DIR) + "/" + relative, std::ios::binary);
    EXPECT_TRUE(in.good()) << relative;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t Le16(const std::string& data, size_t at)
{
    return static_cast<uint32_t>(static_cast<unsigned char>(data[at]) |
                                 static_cast<unsigned char>(data[at + 1]) << 8);
}

uint32_t Le32(const std::string& data, size_t at)
{
    return Le16(data, at) | Le16(data, at + 2) << 16;
}

TEST(Resources, IdsAreDistinct)
{
    const int ids[] = {
        IDD_SETTINGS, IDI_MAIN, IDB_BANNER,
        IDC_SPACES, IDC_DIGITS, IDC_LETTERS, IDC_DIGITS_TO_FULL, IDC_DIGITS_TO_HALF,
        IDC_WIDTH_KEEP, IDC_LETTERS_TO_FULL, IDC_LETTERS_TO_HALF, IDC_CASE_KEEP,
        IDC_CASE_UPPER, IDC_CASE_LOWER, IDC_CASE_CAPITALIZE,
        IDC_OK, IDC_CANCEL, IDC_INFO, IDC_PREVIEW_AFTER, IDC_PREVIEW_BEFORE,
        IDC_UNDO, IDC_HISTORY,
    };
    std::set<int> seen;
    for (int id : ids) {
        SCOPED_TRACE(id);
        EXPECT_TRUE(seen.insert(id).second);
        EXPECT_NE(id, 1003);
    }
    EXPECT_EQ(IDD_SETTINGS, 101);
    EXPECT_EQ(IDI_MAIN, 103);
    EXPECT_EQ(IDB_BANNER, 105);
    EXPECT_EQ(IDC_BANNER, -1);
    // Not the system's IDOK (1) and IDCANCEL (2).
    EXPECT_EQ(IDC_OK, 1013);
    EXPECT_EQ(IDC_CANCEL, 1014);
    EXPECT_EQ(IDC_INFO, 1018);
    EXPECT_EQ(IDC_PREVIEW_AFTER, 1021);
    EXPECT_EQ(IDC_PREVIEW_BEFORE, 1022);
    EXPECT_EQ(IDC_UNDO, 1040);
    EXPECT_EQ(IDC_HISTORY, 1041);
}

TEST(Resources, EveryBitHasOneButton)
{
    // Bits 0-2 are 1000-1002, bits 3-11 are 1001 + bit: 1003 is skipped.
    ASSERT_EQ(std::size(OPTION_BUTTONS), 12u);
    SettingsWord covered = 0;
    for (const OptionButton& button : OPTION_BUTTONS) {
        SCOPED_TRACE(button.id);
        ASSERT_NE(button.bit, 0);
        ASSERT_EQ(button.bit & (button.bit - 1), 0) << "one bit per button";
        EXPECT_EQ(covered & button.bit, 0) << "bit used twice";
        covered |= button.bit;
        int bit = 0;
        while ((1 << bit) != button.bit)
            bit++;
        EXPECT_EQ(button.id, bit < 3 ? 1000 + bit : 1001 + bit);
    }
    EXPECT_EQ(covered, OPT_ALL);
}

// One CONTROL line of the template, split at the commas outside quotes.
std::vector<std::string> SplitFields(const std::string& line)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (char c : line) {
        if (c == '"')
            quoted = !quoted;
        if (c == ',' && !quoted) {
            fields.emplace_back();
            continue;
        }
        fields.back() += c;
    }
    for (std::string& field : fields) {
        size_t first = field.find_first_not_of(" \t\r");
        size_t last = field.find_last_not_of(" \t\r");
        field = first == std::string::npos ? "" : field.substr(first, last - first + 1);
    }
    return fields;
}

std::set<std::string> StyleTokens(const std::string& style)
{
    std::set<std::string> tokens;
    std::stringstream in(style);
    std::string token;
    while (std::getline(in, token, '|')) {
        size_t first = token.find_first_not_of(' ');
        size_t last = token.find_last_not_of(' ');
        tokens.insert(token.substr(first, last - first + 1));
    }
    return tokens;
}

struct TemplateControl {
    const char* id;
    const char* className;
    const char* style;
    int x, y, width, height;
};

const TemplateControl TEMPLATE[] = {
    {"IDC_BANNER", "\"Static\"", "SS_BITMAP", 10, 5, 123, 17},
    {"IDC_STATIC", "\"Button\"", "BS_GROUPBOX", 205, 5, 186, 150},
    {"IDC_STATIC", "\"Button\"", "BS_GROUPBOX", 10, 55, 185, 40},
    {"IDC_SPACES", "\"Button\"", "BS_AUTOCHECKBOX|BS_VCENTER|WS_TABSTOP", 10, 35, 145, 10},
    {"IDC_DIGITS", "\"Button\"", "BS_AUTOCHECKBOX|WS_TABSTOP", 10, 55, 75, 10},
    {"IDC_LETTERS", "\"Button\"", "BS_AUTOCHECKBOX|BS_VCENTER|WS_TABSTOP", 205, 5, 115, 10},
    {"IDC_STATIC", "\"Button\"", "BS_GROUPBOX", 215, 16, 165, 54},
    {"IDC_STATIC", "\"Button\"", "BS_GROUPBOX", 215, 75, 165, 70},
    {"IDC_DIGITS_TO_FULL", "\"Button\"", "BS_AUTORADIOBUTTON|BS_VCENTER|WS_GROUP", 25, 65, 155, 10},
    {"IDC_DIGITS_TO_HALF", "\"Button\"", "BS_AUTORADIOBUTTON|BS_VCENTER", 25, 81, 155, 10},
    {"IDC_WIDTH_KEEP", "\"Button\"", "BS_AUTORADIOBUTTON|BS_VCENTER|WS_GROUP", 220, 26, 152, 10},
    {"IDC_LETTERS_TO_FULL", "\"Button\"", "BS_AUTORADIOBUTTON|BS_VCENTER", 220, 40, 152, 10},
    {"IDC_LETTERS_TO_HALF", "\"Button\"", "BS_AUTORADIOBUTTON|BS_VCENTER", 220, 55, 153, 10},
    {"IDC_CASE_KEEP", "\"Button\"", "BS_AUTORADIOBUTTON|BS_VCENTER|WS_GROUP", 220, 85, 153, 10},
    {"IDC_CASE_UPPER", "\"Button\"", "BS_AUTORADIOBUTTON|BS_VCENTER", 220, 100, 153, 10},
    {"IDC_CASE_LOWER", "\"Button\"", "BS_AUTORADIOBUTTON|BS_VCENTER", 220, 115, 153, 10},
    {"IDC_CASE_CAPITALIZE", "\"Button\"", "BS_AUTORADIOBUTTON|BS_VCENTER", 220, 130, 153, 10},
    {"IDC_STATIC", "\"Button\"", "BS_GROUPBOX", 10, 160, 185, 75},
    {"IDC_PREVIEW_BEFORE", "\"Static\"", "SS_LEFTNOWORDWRAP|SS_SUNKEN", 20, 173, 165, 10},
    {"IDC_PREVIEW_AFTER", "\"Static\"", "SS_LEFT|SS_SUNKEN", 20, 187, 165, 10},
    {"IDC_STATIC", "\"Button\"", "BS_GROUPBOX", 205, 160, 186, 75},
    {"IDC_HISTORY", "\"Static\"", "SS_LEFT", 213, 173, 172, 34},
    {"IDC_UNDO", "\"Button\"", "BS_PUSHBUTTON|WS_TABSTOP", 315, 214, 70, 14},
    {"IDC_OK", "\"Button\"", "BS_DEFPUSHBUTTON|WS_TABSTOP", 160, 245, 70, 15},
    {"IDC_CANCEL", "\"Button\"", "BS_PUSHBUTTON|WS_TABSTOP", 240, 245, 70, 15},
    {"IDC_INFO", "\"Button\"", "BS_PUSHBUTTON|WS_TABSTOP", 320, 245, 70, 15},
};

TEST(Resources, ScriptHoldsTheDialogTemplate)
{
    std::string rc = ReadSourceFile("res/blankmender.rc");
    EXPECT_NE(rc.find("#pragma code_page(65001)"), std::string::npos);
    EXPECT_NE(rc.find("LANGUAGE LANG_JAPANESE, SUBLANG_DEFAULT"), std::string::npos);
    EXPECT_EQ(rc.find("DIALOGEX"), std::string::npos) << "a plain template";
    EXPECT_NE(rc.find("IDI_MAIN   ICON   \"icon.ico\""), std::string::npos);
    EXPECT_NE(rc.find("IDB_BANNER BITMAP \"banner.bmp\""), std::string::npos);

    size_t dialog = rc.find("IDD_SETTINGS DIALOG 0, 0, 404, 269\n");
    ASSERT_NE(dialog, std::string::npos);
    size_t begin = rc.find("\nBEGIN\n", dialog);
    size_t end = rc.find("\nEND\n", begin);
    ASSERT_NE(end, std::string::npos);
    std::string head = rc.substr(dialog, begin + 1 - dialog);
    EXPECT_NE(head.find("STYLE WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_CENTER | DS_SETFONT\n"), std::string::npos);
    EXPECT_NE(head.find("CAPTION \"Blankmender\"\n"), std::string::npos);
    // FONT 9, "ＭＳ ゴシック" in UTF-8
    EXPECT_NE(head.find("FONT 9, \"\xEF\xBC\xAD\xEF\xBC\xB3 \xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF\"\n"),
              std::string::npos);

    std::stringstream body(rc.substr(begin + 7, end - begin - 7));
    std::string line;
    size_t index = 0;
    while (std::getline(body, line)) {
        std::vector<std::string> fields = SplitFields(line);
        ASSERT_EQ(fields.size(), 8u) << line;
        ASSERT_EQ(fields[0].compare(0, 8, "CONTROL "), 0) << line;
        ASSERT_LT(index, std::size(TEMPLATE)) << "more controls than the template has";
        const TemplateControl& want = TEMPLATE[index++];
        SCOPED_TRACE(line);
        // The banner's text is the bitmap's id; every other text is quoted.
        if (index == 1)
            EXPECT_EQ(fields[0], "CONTROL IDB_BANNER");
        else
            EXPECT_EQ(fields[0][8], '"');
        EXPECT_EQ(fields[1], want.id);
        EXPECT_EQ(fields[2], want.className);
        EXPECT_EQ(StyleTokens(fields[3]), StyleTokens(want.style));
        EXPECT_EQ(std::stoi(fields[4]), want.x);
        EXPECT_EQ(std::stoi(fields[5]), want.y);
        EXPECT_EQ(std::stoi(fields[6]), want.width);
        EXPECT_EQ(std::stoi(fields[7]), want.height);
    }
    EXPECT_EQ(index, std::size(TEMPLATE));
}

TEST(Resources, BannerIs279By32With256Colours)
{
    std::string bmp = ReadSourceFile("res/banner.bmp");
    ASSERT_GE(bmp.size(), 54u);
    ASSERT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(Le32(bmp, 2), bmp.size());
    uint32_t offset = Le32(bmp, 10);
    EXPECT_EQ(Le32(bmp, 14), 40u); // BITMAPINFOHEADER
    EXPECT_EQ(static_cast<int32_t>(Le32(bmp, 18)), 279);
    EXPECT_EQ(static_cast<int32_t>(Le32(bmp, 22)), 32); // bottom-up
    EXPECT_EQ(Le16(bmp, 26), 1u);
    EXPECT_EQ(Le16(bmp, 28), 8u);
    EXPECT_EQ(Le32(bmp, 30), 0u); // BI_RGB
    uint32_t colours = Le32(bmp, 46) == 0 ? 256 : Le32(bmp, 46);
    EXPECT_EQ(colours, 256u);
    const size_t stride = 280; // 279 rounded up to four bytes
    ASSERT_EQ(offset, 54u + 4u * colours);
    ASSERT_EQ(bmp.size(), offset + stride * 32);

    auto pixel = [&](int x, int y, int channel) { // channel 0 blue, 1 green, 2 red
        unsigned char index = static_cast<unsigned char>(bmp[offset + (31 - static_cast<size_t>(y)) * stride + static_cast<size_t>(x)]);
        return static_cast<unsigned char>(bmp[54 + 4u * index + static_cast<unsigned>(channel)]);
    };
    // The top row has no lettering: grey, from white on the left to black
    // on the right, never lighter to the right.
    EXPECT_GE(pixel(0, 0, 0), 0xF0);
    EXPECT_LE(pixel(278, 0, 0), 0x10);
    for (int x = 1; x < 279; x++) {
        SCOPED_TRACE(x);
        ASSERT_EQ(pixel(x, 0, 0), pixel(x, 0, 2));
        ASSERT_LE(pixel(x, 0, 0), pixel(x - 1, 0, 0));
    }
    // Blue lettering on the left part.
    int blue = 0;
    for (int y = 0; y < 32; y++) {
        for (int x = 0; x < 140; x++) {
            if (pixel(x, y, 0) > pixel(x, y, 2) + 100 && pixel(x, y, 0) > pixel(x, y, 1) + 100)
                blue++;
        }
    }
    EXPECT_GT(blue, 200);
}

TEST(Resources, IconIs32By32With256Colours)
{
    std::string ico = ReadSourceFile("res/icon.ico");
    ASSERT_GE(ico.size(), 22u);
    EXPECT_EQ(Le16(ico, 0), 0u);
    EXPECT_EQ(Le16(ico, 2), 1u); // an icon, not a cursor
    ASSERT_EQ(Le16(ico, 4), 1u); // one image
    EXPECT_EQ(static_cast<unsigned char>(ico[6]), 32);
    EXPECT_EQ(static_cast<unsigned char>(ico[7]), 32);
    EXPECT_EQ(static_cast<unsigned char>(ico[8]), 0); // 0: 256 colours
    EXPECT_EQ(Le16(ico, 12), 8u);
    uint32_t size = Le32(ico, 14);
    uint32_t offset = Le32(ico, 18);
    ASSERT_EQ(static_cast<size_t>(offset) + size, ico.size());

    // The image: header, 256 colours, 32 x 32 bytes of colour, 32 rows of
    // four mask bytes. Its height counts colour and mask together.
    EXPECT_EQ(Le32(ico, offset), 40u);
    EXPECT_EQ(static_cast<int32_t>(Le32(ico, offset + 4)), 32);
    EXPECT_EQ(static_cast<int32_t>(Le32(ico, offset + 8)), 64);
    EXPECT_EQ(Le16(ico, offset + 14), 8u);
    EXPECT_EQ(Le32(ico, offset + 16), 0u);
    EXPECT_EQ(size, 40u + 256u * 4u + 32u * 32u + 32u * 4u);
}

} // namespace

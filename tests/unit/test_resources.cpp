// The resources as committed: ids, the dialog template in the resource
// script, the manifests, and the icon and banner files read from their
// headers; the banner as the dialog draws it at other scales.
#include <cctype>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "resource.h"
#include "settings/settings.h"
#include "ui/banner.h"
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

uint32_t Be32(const std::string& data, size_t at)
{
    uint32_t value = 0;
    for (size_t i = 0; i < 4; i++)
        value = value << 8 | static_cast<unsigned char>(data[at + i]);
    return value;
}

TEST(Resources, IdsAreDistinct)
{
    const int ids[] = {
        IDD_SETTINGS, IDD_LIST, IDI_MAIN, IDB_BANNER,
        IDC_SPACES, IDC_DIGITS, IDC_LETTERS, IDC_DIGITS_TO_FULL, IDC_DIGITS_TO_HALF,
        IDC_WIDTH_KEEP, IDC_LETTERS_TO_FULL, IDC_LETTERS_TO_HALF, IDC_CASE_KEEP,
        IDC_CASE_UPPER, IDC_CASE_LOWER, IDC_CASE_CAPITALIZE,
        IDC_OK, IDC_CANCEL, IDC_INFO, IDC_PREVIEW_AFTER, IDC_PREVIEW_BEFORE,
        IDC_KANA, IDC_KANA_TO_FULL, IDC_KANA_TO_HALF, IDC_JOIN_MARKS, IDC_FOLDER_CONTENTS, IDC_CONFIRM,
        IDC_KANA_BEFORE, IDC_KANA_AFTER,
        IDC_UNDO, IDC_HISTORY, IDC_SENDTO,
        IDC_LIST, IDC_LIST_CHANGED_ONLY, IDC_LIST_SUMMARY, IDC_LIST_COPY,
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
    EXPECT_EQ(IDC_KANA_BEFORE, 1023);
    EXPECT_EQ(IDC_KANA_AFTER, 1024);
    EXPECT_EQ(IDC_UNDO, 1040);
    EXPECT_EQ(IDC_HISTORY, 1041);
    EXPECT_EQ(IDC_SENDTO, 1042);
    // Tools and tests find the list window's controls by these.
    EXPECT_EQ(IDC_LIST, 1050);
    EXPECT_EQ(IDC_LIST_CHANGED_ONLY, 1051);
    EXPECT_EQ(IDC_LIST_SUMMARY, 1052);
    EXPECT_EQ(IDC_LIST_COPY, 1053);
}

TEST(Resources, EveryBitHasOneButton)
{
    // Bits 0-2 are 1000-1002, bits 3-11 are 1001 + bit: 1003 is skipped.
    // Bits 12-17 would reach OK (1013), so they are 1030-1035.
    ASSERT_EQ(std::size(OPTION_BUTTONS), 18u);
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
        EXPECT_EQ(button.id, bit < 3 ? 1000 + bit : bit < 12 ? 1001 + bit : 1018 + bit);
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
    {"IDC_STATIC", "\"Button\"", "BS_GROUPBOX", 10, 100, 185, 40},
    {"IDC_KANA", "\"Button\"", "BS_AUTOCHECKBOX|WS_TABSTOP", 10, 100, 85, 10},
    {"IDC_KANA_TO_FULL", "\"Button\"", "BS_AUTORADIOBUTTON|BS_VCENTER|WS_GROUP", 25, 110, 155, 10},
    {"IDC_KANA_TO_HALF", "\"Button\"", "BS_AUTORADIOBUTTON|BS_VCENTER", 25, 126, 155, 10},
    {"IDC_JOIN_MARKS", "\"Button\"", "BS_AUTOCHECKBOX|WS_GROUP|WS_TABSTOP|BS_VCENTER", 10, 145, 185, 10},
    {"IDC_FOLDER_CONTENTS", "\"Button\"", "BS_AUTOCHECKBOX|WS_GROUP|WS_TABSTOP|BS_VCENTER", 10, 160, 185, 10},
    {"IDC_CONFIRM", "\"Button\"", "BS_AUTOCHECKBOX|WS_TABSTOP|BS_VCENTER", 10, 172, 185, 10},
    {"IDC_STATIC", "\"Button\"", "BS_GROUPBOX", 10, 187, 185, 75},
    {"IDC_PREVIEW_BEFORE", "\"Static\"", "SS_LEFTNOWORDWRAP|SS_SUNKEN", 20, 200, 165, 10},
    {"IDC_PREVIEW_AFTER", "\"Static\"", "SS_LEFT|SS_SUNKEN", 20, 214, 165, 10},
    {"IDC_KANA_BEFORE", "\"Static\"", "SS_LEFTNOWORDWRAP|SS_SUNKEN", 20, 232, 165, 10},
    {"IDC_KANA_AFTER", "\"Static\"", "SS_LEFT|SS_SUNKEN", 20, 246, 165, 10},
    {"IDC_STATIC", "\"Button\"", "BS_GROUPBOX", 205, 187, 186, 75},
    {"IDC_HISTORY", "\"Static\"", "SS_LEFT", 213, 200, 172, 34},
    {"IDC_UNDO", "\"Button\"", "BS_PUSHBUTTON|WS_TABSTOP", 315, 241, 70, 14},
    {"IDC_SENDTO", "\"Button\"", "BS_PUSHBUTTON|WS_TABSTOP", 10, 272, 100, 15},
    {"IDC_OK", "\"Button\"", "BS_DEFPUSHBUTTON|WS_TABSTOP", 160, 272, 70, 15},
    {"IDC_CANCEL", "\"Button\"", "BS_PUSHBUTTON|WS_TABSTOP", 240, 272, 70, 15},
    {"IDC_INFO", "\"Button\"", "BS_PUSHBUTTON|WS_TABSTOP", 320, 272, 70, 15},
};

TEST(Resources, ScriptHoldsTheDialogTemplate)
{
    std::string rc = ReadSourceFile("res/blankmender.rc");
    EXPECT_NE(rc.find("#pragma code_page(65001)"), std::string::npos);
    EXPECT_NE(rc.find("LANGUAGE LANG_JAPANESE, SUBLANG_DEFAULT"), std::string::npos);
    EXPECT_EQ(rc.find("DIALOGEX"), std::string::npos) << "a plain template";
    EXPECT_NE(rc.find("IDI_MAIN   ICON   \"icon.ico\""), std::string::npos);
    EXPECT_NE(rc.find("IDB_BANNER BITMAP \"banner.bmp\""), std::string::npos);
    EXPECT_NE(rc.find("CREATEPROCESS_MANIFEST_RESOURCE_ID RT_MANIFEST BLANKMENDER_MANIFEST\n"), std::string::npos);

    size_t dialog = rc.find("IDD_SETTINGS DIALOG 0, 0, 404, 296\n");
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

// The list window: its layout is the code's, at any size, but tools and
// tests find its controls by id, class and text.
TEST(Resources, ScriptHoldsTheListTemplate)
{
    std::string rc = ReadSourceFile("res/blankmender.rc");
    size_t dialog = rc.find("IDD_LIST DIALOG ");
    ASSERT_NE(dialog, std::string::npos);
    size_t begin = rc.find("\nBEGIN\n", dialog);
    size_t end = rc.find("\nEND\n", begin);
    ASSERT_NE(end, std::string::npos);
    std::string head = rc.substr(dialog, begin + 1 - dialog);
    // "Blankmender 変換の確認", resizable, in the settings dialog's font.
    EXPECT_NE(head.find("CAPTION \"Blankmender \xE5\xA4\x89\xE6\x8F\x9B\xE3\x81\xAE\xE7\xA2\xBA\xE8\xAA\x8D\"\n"),
              std::string::npos);
    EXPECT_NE(head.find("WS_THICKFRAME"), std::string::npos);
    // Shown while it plans, not once planning is over.
    EXPECT_NE(head.find("WS_VISIBLE"), std::string::npos);
    EXPECT_NE(head.find("FONT 9, \"\xEF\xBC\xAD\xEF\xBC\xB3 \xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF\"\n"),
              std::string::npos);
    struct ListControl {
        const char* text;
        const char* id;
        const char* className;
        const char* style; // the tokens that must be there
    };
    const ListControl controls[] = {
        {"\"\"", "IDC_LIST", "\"SysListView32\"", "LVS_REPORT|LVS_OWNERDATA|WS_TABSTOP"},
        // 変わるものだけ表示する。
        {"\"\xE5\xA4\x89\xE3\x82\x8F\xE3\x82\x8B\xE3\x82\x82\xE3\x81\xAE\xE3\x81\xA0\xE3\x81\x91\xE8\xA1\xA8\xE7\xA4\xBA"
         "\xE3\x81\x99\xE3\x82\x8B\xE3\x80\x82\"",
         "IDC_LIST_CHANGED_ONLY", "\"Button\"", "BS_AUTOCHECKBOX|WS_TABSTOP"},
        {"\"\"", "IDC_LIST_SUMMARY", "\"Static\"", "SS_LEFT"},
        // 一覧をコピー
        {"\"\xE4\xB8\x80\xE8\xA6\xA7\xE3\x82\x92\xE3\x82\xB3\xE3\x83\x94\xE3\x83\xBC\"", "IDC_LIST_COPY", "\"Button\"",
         "BS_PUSHBUTTON|WS_TABSTOP"},
        // 変換する, greyed out until the list is complete; キャンセル.
        {"\"\xE5\xA4\x89\xE6\x8F\x9B\xE3\x81\x99\xE3\x82\x8B\"", "IDOK", "\"Button\"", "BS_DEFPUSHBUTTON|WS_TABSTOP|WS_DISABLED"},
        {"\"\xE3\x82\xAD\xE3\x83\xA3\xE3\x83\xB3\xE3\x82\xBB\xE3\x83\xAB\"", "IDCANCEL", "\"Button\"", "BS_PUSHBUTTON|WS_TABSTOP"},
    };
    std::stringstream body(rc.substr(begin + 7, end - begin - 7));
    std::string line;
    size_t index = 0;
    while (std::getline(body, line)) {
        std::vector<std::string> fields = SplitFields(line);
        ASSERT_EQ(fields.size(), 8u) << line;
        ASSERT_LT(index, std::size(controls)) << line;
        const ListControl& want = controls[index++];
        SCOPED_TRACE(line);
        EXPECT_EQ(fields[0], std::string("CONTROL ") + want.text);
        EXPECT_EQ(fields[1], want.id);
        EXPECT_EQ(fields[2], want.className);
        std::set<std::string> got = StyleTokens(fields[3]);
        for (const std::string& token : StyleTokens(want.style))
            EXPECT_EQ(got.count(token), 1u) << token;
    }
    EXPECT_EQ(index, std::size(controls));
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

// ---------------------------------------------------------------- manifests

// An element of an XML document: its namespace (from the xmlns in force),
// name, attributes, text and children. Enough XML for a manifest: the
// declaration, comments, elements, attributes in either quotes and the five
// named entities; prefixed names are refused.
struct XmlElement {
    std::string ns, name, text;
    std::map<std::string, std::string> attributes;
    std::vector<XmlElement> children;
};

class XmlReader {
public:
    explicit XmlReader(const std::string& text) : text_(text) {}

    // The document's one root, or an error naming where the text is not
    // well formed.
    bool Read(XmlElement& root, std::string& error)
    {
        if (text_.compare(0, 5, "<?xml") == 0) {
            size_t end = text_.find("?>");
            if (end == std::string::npos)
                return Fail("declaration not closed", error);
            at_ = end + 2;
        }
        SkipMisc();
        if (!Element("", root))
            return Fail(error_, error);
        SkipMisc();
        if (at_ != text_.size())
            return Fail("text after the root element", error);
        return true;
    }

private:
    bool Fail(const std::string& why, std::string& error)
    {
        error = why + " at byte " + std::to_string(at_);
        return false;
    }

    bool Error(const std::string& why)
    {
        error_ = why;
        return false;
    }

    void SkipSpace()
    {
        while (at_ < text_.size() && std::string(" \t\r\n").find(text_[at_]) != std::string::npos)
            at_++;
    }

    bool Comment()
    {
        if (text_.compare(at_, 4, "<!--") != 0)
            return false;
        size_t end = text_.find("-->", at_ + 4);
        if (end == std::string::npos || text_.find("--", at_ + 4) < end)
            return Error("bad comment");
        at_ = end + 3;
        return true;
    }

    void SkipMisc()
    {
        for (;;) {
            SkipSpace();
            if (!Comment())
                return;
        }
    }

    std::string Name()
    {
        size_t start = at_;
        while (at_ < text_.size() && (isalnum(static_cast<unsigned char>(text_[at_])) || text_[at_] == '_' ||
                                      text_[at_] == '-' || text_[at_] == '.' || text_[at_] == ':'))
            at_++;
        return text_.substr(start, at_ - start);
    }

    // Character data up to the next '<', or an attribute's value up to its
    // quote, with the entities replaced.
    bool Chars(char stop, std::string& out)
    {
        while (at_ < text_.size() && text_[at_] != stop) {
            char c = text_[at_];
            if (c == '<')
                return Error("'<' in a value");
            if (c != '&') {
                out += c;
                at_++;
                continue;
            }
            static const char* const entities[][2] = {
                {"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}};
            bool known = false;
            for (const auto& entity : entities) {
                size_t length = strlen(entity[0]);
                if (text_.compare(at_, length, entity[0]) == 0) {
                    out += entity[1];
                    at_ += length;
                    known = true;
                    break;
                }
            }
            if (!known)
                return Error("unknown entity");
        }
        return true;
    }

    bool Element(const std::string& outerNs, XmlElement& element)
    {
        if (at_ >= text_.size() || text_[at_] != '<')
            return Error("element expected");
        at_++;
        element.name = Name();
        if (element.name.empty() || element.name.find(':') != std::string::npos)
            return Error("bad element name '" + element.name + "'");
        element.ns = outerNs;
        for (;;) {
            size_t before = at_;
            SkipSpace();
            if (at_ >= text_.size())
                return Error("tag not closed");
            if (text_.compare(at_, 2, "/>") == 0) {
                at_ += 2;
                return true;
            }
            if (text_[at_] == '>') {
                at_++;
                break;
            }
            if (at_ == before)
                return Error("no blank before an attribute");
            std::string name = Name();
            if (name.empty() || (name.find(':') != std::string::npos && name.compare(0, 6, "xmlns:") != 0))
                return Error("bad attribute name '" + name + "'");
            SkipSpace();
            if (at_ >= text_.size() || text_[at_] != '=')
                return Error("'=' expected");
            at_++;
            SkipSpace();
            if (at_ >= text_.size() || (text_[at_] != '"' && text_[at_] != '\''))
                return Error("quoted value expected");
            char quote = text_[at_++];
            std::string value;
            if (!Chars(quote, value))
                return false;
            if (at_ >= text_.size())
                return Error("value not closed");
            at_++;
            if (!element.attributes.emplace(name, value).second)
                return Error("attribute '" + name + "' twice");
            if (name == "xmlns")
                element.ns = value;
        }
        for (;;) {
            if (!Chars('<', element.text))
                return false;
            if (at_ >= text_.size())
                return Error("element '" + element.name + "' not closed");
            if (text_.compare(at_, 4, "<!--") == 0) {
                if (!Comment())
                    return false;
                continue;
            }
            if (text_.compare(at_, 2, "</") == 0) {
                at_ += 2;
                if (Name() != element.name)
                    return Error("end tag does not match '" + element.name + "'");
                SkipSpace();
                if (at_ >= text_.size() || text_[at_] != '>')
                    return Error("end tag not closed");
                at_++;
                return true;
            }
            element.children.emplace_back();
            if (!Element(element.ns, element.children.back()))
                return false;
        }
    }

    const std::string& text_;
    size_t at_ = 0;
    std::string error_;
};

// Every element found by a path of "namespace name" steps below root.
void FindElements(const XmlElement& from, const std::vector<std::string>& path, size_t step,
                  std::vector<const XmlElement*>& found)
{
    if (step == path.size()) {
        found.push_back(&from);
        return;
    }
    for (const XmlElement& child : from.children) {
        if (child.ns + " " + child.name == path[step])
            FindElements(child, path, step + 1, found);
    }
}

std::vector<const XmlElement*> Find(const XmlElement& root, std::initializer_list<const char*> path)
{
    std::vector<const XmlElement*> found;
    FindElements(root, std::vector<std::string>(path.begin(), path.end()), 0, found);
    return found;
}

std::string TextOf(const XmlElement& root, std::initializer_list<const char*> path)
{
    std::vector<const XmlElement*> found = Find(root, path);
    return found.size() == 1 ? found[0]->text : "(" + std::to_string(found.size()) + " elements)";
}

TEST(Resources, XmlReaderRefusesWhatIsNotWellFormed)
{
    const char* const broken[] = {
        "<a><b></a></b>", "<a>", "<a x='1' x='2'/>", "<a x=1/>", "<a/><b/>", "<a>&nbsp;</a>", "<p:a/>",
        "<a><!-- -- --></a>", "<a x='1'y='2'/>", "<?xml version='1.0'", "<a x='<'/>", "text",
    };
    for (const char* text : broken) {
        SCOPED_TRACE(text);
        XmlElement root;
        std::string error;
        std::string copy = text;
        EXPECT_FALSE(XmlReader(copy).Read(root, error));
    }
    std::string good = "<?xml version='1.0'?>\n<!-- c --><a xmlns='n' k=\"&lt;1&gt;\"><b>t&amp;u</b><c xmlns='m'/></a>\n";
    XmlElement root;
    std::string error;
    ASSERT_TRUE(XmlReader(good).Read(root, error)) << error;
    EXPECT_EQ(root.ns, "n");
    EXPECT_EQ(root.attributes["k"], "<1>");
    EXPECT_EQ(TextOf(root, {"n b"}), "t&u");
    EXPECT_EQ(Find(root, {"m c"}).size(), 1u);
}

TEST(Resources, ManifestsDeclareDpiAwarenessLongPathsAndEveryWindows)
{
    const char ASM1[] = "urn:schemas-microsoft-com:asm.v1";
    const char ASM3[] = "urn:schemas-microsoft-com:asm.v3";
    const char COMPATIBILITY[] = "urn:schemas-microsoft-com:compatibility.v1";
    const char SETTINGS_2005[] = "http://schemas.microsoft.com/SMI/2005/WindowsSettings";
    const char SETTINGS_2016[] = "http://schemas.microsoft.com/SMI/2016/WindowsSettings";
    const char SETTINGS_2019[] = "http://schemas.microsoft.com/SMI/2019/WindowsSettings";
    auto in = [](const char* ns, const char* name) { return std::string(ns) + " " + name; };

    struct Manifest {
        const char* path;
        const char* activeCodePage; // nullptr: none
    };
    // The test copy also makes UTF-8 the ANSI code page; the shipped program
    // does not depend on the system's code page, and says nothing of it.
    const Manifest manifests[] = {
        {"res/blankmender.manifest", nullptr},
        {"tests/wine/utf8.manifest", "UTF-8"},
    };
    for (const Manifest& manifest : manifests) {
        SCOPED_TRACE(manifest.path);
        std::string text = ReadSourceFile(manifest.path);
        XmlElement root;
        std::string error;
        ASSERT_TRUE(XmlReader(text).Read(root, error)) << error;
        EXPECT_EQ(in(root.ns.c_str(), root.name.c_str()), in(ASM1, "assembly"));
        EXPECT_EQ(root.attributes["manifestVersion"], "1.0");
        EXPECT_EQ(Find(root, {in(ASM1, "assemblyIdentity").c_str()}).size(), 1u);

        // Common controls 6: visual styles, and the list view's check boxes.
        std::vector<const XmlElement*> controls =
            Find(root, {in(ASM1, "dependency").c_str(), in(ASM1, "dependentAssembly").c_str(),
                        in(ASM1, "assemblyIdentity").c_str()});
        ASSERT_EQ(controls.size(), 1u);
        EXPECT_EQ(controls[0]->attributes.at("name"), "Microsoft.Windows.Common-Controls");
        EXPECT_EQ(controls[0]->attributes.at("version"), "6.0.0.0");
        EXPECT_EQ(controls[0]->attributes.at("publicKeyToken"), "6595b64144ccf1df");

        // Windows 7, 8, 8.1, and 10 and 11, which share one id.
        std::set<std::string> systems;
        for (const XmlElement* os : Find(root, {in(COMPATIBILITY, "compatibility").c_str(),
                                                 in(COMPATIBILITY, "application").c_str(),
                                                 in(COMPATIBILITY, "supportedOS").c_str()}))
            systems.insert(os->attributes.at("Id"));
        EXPECT_EQ(systems, (std::set<std::string>{
                               "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                               "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}));

        const std::string application = in(ASM3, "application"), settings = in(ASM3, "windowsSettings");
        auto setting = [&](const char* ns, const char* name) {
            return TextOf(root, {application.c_str(), settings.c_str(), in(ns, name).c_str()});
        };
        // System aware: the dialog is laid out once, at the dpi of the
        // session; no monitor change is followed.
        EXPECT_EQ(setting(SETTINGS_2005, "dpiAware"), "true");
        EXPECT_EQ(setting(SETTINGS_2016, "dpiAwareness"), "system");
        EXPECT_EQ(setting(SETTINGS_2016, "longPathAware"), "true");
        if (manifest.activeCodePage != nullptr) {
            EXPECT_EQ(setting(SETTINGS_2019, "activeCodePage"), manifest.activeCodePage);
        } else {
            // The UTF-8 tests tell the two programs apart by this word.
            EXPECT_EQ(text.find("activeCodePage"), std::string::npos);
        }
    }
}

// res/banner.bmp as rows of blue, green, red from the top, as DrawBanner
// writes them.
std::vector<unsigned char> BannerPixels()
{
    std::string bmp = ReadSourceFile("res/banner.bmp");
    std::vector<unsigned char> pixels;
    if (bmp.size() < 54 + 1024 + 280 * 32)
        return pixels;
    const size_t offset = Le32(bmp, 10), stride = 280;
    for (size_t y = 0; y < 32; y++) {
        for (size_t x = 0; x < 279; x++) {
            unsigned char index = static_cast<unsigned char>(bmp[offset + (31 - y) * stride + x]);
            for (size_t c = 0; c < 3; c++)
                pixels.push_back(static_cast<unsigned char>(bmp[54 + 4u * index + c]));
        }
    }
    return pixels;
}

std::vector<unsigned char> DrawnBanner(int width, int height)
{
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 3, 0xA5);
    DrawBanner(pixels.data(), width, height, width * 3);
    return pixels;
}

// The lettering's blue (and its dark shadow) against the grey ramp.
bool IsBlue(const unsigned char* pixel)
{
    return pixel[0] > pixel[2] + 100 && pixel[0] > pixel[1] + 100;
}

TEST(Resources, BannerIsDrawnAsTheBitmapAt96Dpi)
{
    std::vector<unsigned char> bitmap = BannerPixels();
    ASSERT_EQ(bitmap.size(), 279u * 32u * 3u);
    std::vector<unsigned char> drawn = DrawnBanner(BANNER_WIDTH, BANNER_HEIGHT);
    for (size_t i = 0; i < bitmap.size(); i += 3) {
        SCOPED_TRACE("pixel " + std::to_string(i / 3 % 279) + ", " + std::to_string(i / 3 / 279));
        ASSERT_EQ(drawn[i], bitmap[i]);
        ASSERT_EQ(drawn[i + 1], bitmap[i + 1]);
        ASSERT_EQ(drawn[i + 2], bitmap[i + 2]);
    }
}

TEST(Resources, BannerGrowsWithTheDpi)
{
    struct Scale {
        int dpi, width, height;
    };
    const Scale scales[] = {{96, 279, 32}, {104, 302, 35}, {120, 349, 40}, {144, 419, 48}, {192, 558, 64}, {288, 837, 96}};
    std::vector<unsigned char> small = BannerPixels();
    ASSERT_EQ(small.size(), 279u * 32u * 3u);
    size_t smallBlue = 0;
    for (size_t i = 0; i < small.size(); i += 3)
        smallBlue += IsBlue(&small[i]);
    for (const Scale& scale : scales) {
        SCOPED_TRACE(scale.dpi);
        EXPECT_EQ(ScaleToDpi(BANNER_WIDTH, scale.dpi), scale.width);
        EXPECT_EQ(ScaleToDpi(BANNER_HEIGHT, scale.dpi), scale.height);
        // The ramp spans the whole width; the lettering grows with the area.
        std::vector<unsigned char> big = DrawnBanner(scale.width, scale.height);
        const size_t last = static_cast<size_t>(scale.width) * 3 - 3;
        EXPECT_EQ(big[0], 255);
        EXPECT_EQ(big[last], 0);
        size_t blue = 0;
        for (size_t i = 0; i < big.size(); i += 3)
            blue += IsBlue(&big[i]);
        const double area = static_cast<double>(scale.width) * scale.height / (279.0 * 32.0);
        EXPECT_NEAR(static_cast<double>(blue) / static_cast<double>(smallBlue), area, 0.1 * area);
    }

    // At twice the size every pixel of the lettering is a 2 x 2 block of the
    // bitmap's; the ramp is finer but still grey, and never lighter to the
    // right.
    std::vector<unsigned char> big = DrawnBanner(558, 64);
    for (size_t y = 0; y < 64; y++) {
        for (size_t x = 0; x < 558; x++) {
            const unsigned char* got = &big[(y * 558 + x) * 3];
            const unsigned char* was = &small[(y / 2 * 279 + x / 2) * 3];
            SCOPED_TRACE("pixel " + std::to_string(x) + ", " + std::to_string(y));
            if (was[0] == was[1] && was[1] == was[2]) {
                ASSERT_EQ(got[0], got[1]);
                ASSERT_EQ(got[1], got[2]);
                if (y == 0 && x > 0) {
                    ASSERT_LE(got[0], got[-3]);
                }
            } else {
                ASSERT_EQ(got[0], was[0]);
                ASSERT_EQ(got[1], was[1]);
                ASSERT_EQ(got[2], was[2]);
            }
        }
    }
}

TEST(Resources, IconHoldsEverySizeExplorerShows)
{
    std::string ico = ReadSourceFile("res/icon.ico");
    ASSERT_GE(ico.size(), 6u);
    EXPECT_EQ(Le16(ico, 0), 0u);
    EXPECT_EQ(Le16(ico, 2), 1u); // an icon, not a cursor
    struct Image {
        unsigned size, bits;
        bool png;
    };
    // Each drawn for its size; the largest compressed, as Windows stores it.
    const Image images[] = {{16, 8, false}, {24, 8, false}, {32, 8, false}, {48, 8, false}, {256, 32, true}};
    ASSERT_EQ(Le16(ico, 4), std::size(images));
    ASSERT_GE(ico.size(), 6u + 16u * std::size(images));
    size_t end = 6 + 16 * std::size(images);
    for (size_t i = 0; i < std::size(images); i++) {
        const Image& want = images[i];
        SCOPED_TRACE(want.size);
        const size_t entry = 6 + 16 * i;
        EXPECT_EQ(static_cast<unsigned char>(ico[entry]), want.size % 256); // 0: 256
        EXPECT_EQ(static_cast<unsigned char>(ico[entry + 1]), want.size % 256);
        EXPECT_EQ(static_cast<unsigned char>(ico[entry + 2]), 0);           // 0: 256 colours or more
        EXPECT_EQ(Le16(ico, entry + 4), 1u);
        EXPECT_EQ(Le16(ico, entry + 6), want.bits);
        const uint32_t size = Le32(ico, entry + 8);
        const uint32_t offset = Le32(ico, entry + 12);
        // The images follow the directory one after the other.
        ASSERT_EQ(offset, end);
        ASSERT_LE(static_cast<size_t>(offset) + size, ico.size());
        end = offset + size;
        if (want.png) {
            // Signature, then the IHDR chunk: width, height, 8 bits a
            // channel, colour type 6 (RGBA).
            ASSERT_GE(size, 33u);
            EXPECT_EQ(ico.substr(offset, 8), std::string("\x89PNG\r\n\x1A\n", 8));
            EXPECT_EQ(ico.substr(offset + 12, 4), "IHDR");
            EXPECT_EQ(Be32(ico, offset + 16), want.size);
            EXPECT_EQ(Be32(ico, offset + 20), want.size);
            EXPECT_EQ(static_cast<unsigned char>(ico[offset + 24]), 8);
            EXPECT_EQ(static_cast<unsigned char>(ico[offset + 25]), 6);
            continue;
        }
        // Header, 256 colours, a byte a pixel, then the mask, a bit a pixel
        // in rows of whole four bytes. The height counts colour and mask
        // together.
        const uint32_t n = want.size;
        EXPECT_EQ(Le32(ico, offset), 40u);
        EXPECT_EQ(static_cast<int32_t>(Le32(ico, offset + 4)), static_cast<int32_t>(n));
        EXPECT_EQ(static_cast<int32_t>(Le32(ico, offset + 8)), static_cast<int32_t>(2 * n));
        EXPECT_EQ(Le16(ico, offset + 14), 8u);
        EXPECT_EQ(Le32(ico, offset + 16), 0u);
        EXPECT_EQ(size, 40u + 256u * 4u + (n + 3) / 4 * 4 * n + (n + 31) / 32 * 4 * n);
    }
    EXPECT_EQ(end, ico.size());
}

} // namespace

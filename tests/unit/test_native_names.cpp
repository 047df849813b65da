// The native program's code page 932 and NFC, which stand in for Windows'
// own: the expected values are what Windows (checked under Wine) and
// Python's unicodedata.normalize("NFC") give, written out.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "convert/cp932.h"
#include "convert/name.h"
#include "convert/nfc.h"
#include "convert/utf8.h"

namespace {

std::string Units(const std::u16string& text)
{
    std::string out;
    for (char16_t unit : text) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%04X ", static_cast<unsigned>(unit));
        out += hex;
    }
    return out;
}

// The bytes of one character, "" for none.
std::string Encoded(char16_t unit)
{
    char bytes[2];
    const size_t size = CODE_PAGE_932.encode(&unit, 1, bytes);
    return std::string(bytes, size);
}

// The unit the bytes read as, 0 for none (and for the NUL).
char16_t Decoded(const std::string& bytes)
{
    char16_t units[2] = {0, 0};
    return CODE_PAGE_932.decode(bytes.data(), bytes.size(), units) == 1 ? units[0] : 0;
}

TEST(CodePage932, WhatWindowsReadsAndWrites)
{
    // write: what WideCharToMultiByte without best fit gives, when it reads
    // back as the same character; "" when it does not.
    struct Row { char16_t unit; std::string write; std::vector<std::string> alsoRead; };
    const Row rows[] = {
        {u'\\', "\x5C", {}},            // no yen sign
        {u'~', "\x7E", {}},             // no overline
        {u'\u00A5', "", {}},
        {u'\u203E', "", {}},
        {u'\u3000', "\x81\x40", {}},
        {u'\uFF71', "\xB1", {}},        // ｱ
        {u'\u0080', "\x80", {}},
        {u'\uF8F0', "\xA0", {}},        // Microsoft's table; Wine refuses 0xA0
        {u'\uF8F3', "\xFF", {}},
        // Read from several pairs, written as one: JIS row 2, then NEC row
        // 13, then IBM, then the NEC-selected IBM copy.
        {u'\uFFE2', "\x81\xCA", {"\xEE\xF9", "\xFA\x54"}},   // ￢
        {u'\u2235', "\x81\xE6", {"\x87\x9A", "\xFA\x5B"}},   // ∵
        {u'\u2160', "\x87\x54", {"\xFA\x4A"}},               // Ⅰ
        {u'\u2116', "\x87\x82", {"\xFA\x59"}},               // №
        {u'\u2170', "\xFA\x40", {"\xEE\xEF"}},               // ⅰ
        {u'\u7E8A', "\xFA\x5C", {"\xED\x40"}},               // 纊
        {u'\uFF02', "\xFA\x57", {"\xEE\xFC"}},               // ＂
        // The signs a Mac writes have look-alikes Windows will not take.
        {u'\uFF5E', "\x81\x60", {}},
        {u'\u301C', "", {}},
        {u'\u2225', "\x81\x61", {}},
        {u'\u2016', "", {}},
        {u'\uFF0D', "\x81\x7C", {}},
        {u'\u2212', "", {}},
        {u'\u00AC', "", {}},
        {u'\u00A2', "", {}},
        {u'\uFF3C', "\x81\x5F", {}},
        // The user-defined area, both ends.
        {u'\uE000', "\xF0\x40", {}},
        {u'\uE757', "\xF9\xFC", {}},
        {u'\uE758', "", {}},
        {u'\xD842', "", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Units(std::u16string(1, row.unit)));
        EXPECT_EQ(Encoded(row.unit), row.write);
        if (!row.write.empty()) {
            EXPECT_EQ(Decoded(row.write), row.unit);
        }
        for (const std::string& bytes : row.alsoRead)
            EXPECT_EQ(Decoded(bytes), row.unit);
    }
    // What Windows reads as no character.
    for (const std::string bytes : {"\x81", "\xA0\x40", "\x81\x7F", "\x81\xFD", "\x85\x40", "\xFC\x4C", "ab"})
        EXPECT_EQ(Decoded(bytes), 0) << Units(std::u16string(bytes.begin(), bytes.end()));
    char16_t pair[2] = {u'\xD842', u'\xDFB7'};
    char bytes[2];
    EXPECT_EQ(CODE_PAGE_932.encode(pair, 2, bytes), 0u);
}

TEST(CodePage932, EveryPairAndEveryUnit)
{
    // Windows (Wine's table, which matched this one pair for pair) reads
    // 9,604 pairs and writes 9,402 characters. Every pair read writes back
    // as a pair that reads the same, and nothing else is written.
    size_t pairs = 0;
    for (unsigned lead = 0x80; lead <= 0xFF; ++lead) {
        for (unsigned trail = 0; trail <= 0xFF; ++trail) {
            const std::string bytes = {static_cast<char>(lead), static_cast<char>(trail)};
            const char16_t unit = Decoded(bytes);
            if (unit == 0)
                continue;
            ++pairs;
            const std::string back = Encoded(unit);
            ASSERT_EQ(back.size(), 2u) << lead << " " << trail;
            ASSERT_EQ(Decoded(back), unit) << lead << " " << trail;
        }
    }
    EXPECT_EQ(pairs, 9604u);
    size_t written = 0;
    for (unsigned u = 0; u <= 0xFFFF; ++u) {
        const std::string bytes = Encoded(static_cast<char16_t>(u));
        if (bytes.empty())
            continue;
        ++written;
        ASSERT_EQ(Decoded(bytes), u == 0 ? 0 : u) << u;
    }
    EXPECT_EQ(written, 9402u);
}

TEST(Nfc, AsPythonComposes)
{
    struct Row { std::u16string text, nfc; };
    const Row rows[] = {
        {u"\u30CF\u309A", u"\u30D1"},                // ハ ゜: パ
        {u"\u30CF\u3099", u"\u30D0"},
        {u"\u3046\u3099", u"\u3094"},                // ゔ
        {u"\u30EF\u3099", u"\u30F7"},                // ヷ, not in code page 932
        {u"\u30A2\u3099", u"\u30A2\u3099"},          // ア has no voiced form
        {u"\u0065\u0301", u"\u00E9"},
        // Marks in either order, or one already composed: ậ.
        {u"\u0061\u0323\u0302", u"\u1EAD"},
        {u"\u0061\u0302\u0323", u"\u1EAD"},
        {u"\u00E2\u0323", u"\u1EAD"},
        {u"\u0064\u0307\u0323", u"\u1E0D\u0307"},
        {u"\u006F\u031B\u0323\u0301", u"\u1EE3\u0301"},
        {u"\u0069\u0308\u0301", u"\u1E2F"},
        {u"\u1F00\u0345\u0300", u"\u1F82"},
        // A second mark of the same class is blocked by the first.
        {u"\u0061\u0301\u0301", u"\u00E1\u0301"},
        {u"\u0061\u0301\u0328", u"\u0105\u0301"},
        // A starter between (CGJ, an enclosing circle) blocks.
        {u"\u0061\u034F\u0301", u"\u0061\u034F\u0301"},
        {u"\u0065\u20DD\u0301", u"\u0065\u20DD\u0301"},
        // Decomposed first: singletons, a mark that is two marks, Å three
        // ways, an excluded composite.
        {u"\u212B\u0301", u"\u01FA"},
        {u"\u0041\u030A\u0301", u"\u01FA"},
        {u"\u00C5\u0301", u"\u01FA"},
        {u"\uFA10\u0301", u"\u585A\u0301"},
        {u"\u0075\u0344", u"\u01D8"},
        {u"\u1E9B\u0323", u"\u1E9B\u0323"},
        {u"\U0001D157\U0001D165", u"\U0001D157\U0001D165"},
        // Hangul by arithmetic, and a syllable that takes no mark.
        {u"\u1100\u1161", u"\uAC00"},
        {u"\uAC00\u11A8", u"\uAC01"},
        {u"\uAC00\u0301", u"\uAC00\u0301"},
        {u"\u0B47\u0B3E", u"\u0B4B"},                // two starters
        // Nothing to join with.
        {u"\u0301\u0061", u"\u0301\u0061"},
        {u"\u3099\u30CF\u3099", u"\u3099\u30D0"},
        {u"\U00020BB7\u3099", u"\U00020BB7\u3099"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Units(row.text));
        char16_t out[16];
        const size_t made = ComposeNfc(row.text.data(), row.text.size(), out, 16);
        EXPECT_EQ(Units(std::u16string(out, made)), Units(row.nfc));
        // Exactly the room it needs, and one unit less.
        EXPECT_EQ(ComposeNfc(row.text.data(), row.text.size(), out, row.nfc.size()), row.nfc.size());
        EXPECT_EQ(ComposeNfc(row.text.data(), row.text.size(), out, row.nfc.size() - 1), 0u);
    }
    // What Windows refuses too: a surrogate alone, nothing, more than a name.
    const std::u16string lone = u"\xD842\u0301";
    const std::u16string tooLong(MAX_NAME_UNITS + 1, u'a');
    char16_t out[MAX_NAME_UNITS + 2];
    EXPECT_EQ(ComposeNfc(lone.data(), lone.size(), out, 4), 0u);
    EXPECT_EQ(ComposeNfc(lone.data(), 0, out, 4), 0u);
    EXPECT_EQ(ComposeNfc(tooLong.data(), tooLong.size(), out, MAX_NAME_UNITS + 2), 0u);
}

TEST(Nfc, EveryBaseWithTheMarksAMacWrites)
{
    // Composed once, a text is composed: a second pass changes nothing. (It
    // may grow: Ǖ and a dot below are Ụ, U+0308 and U+0304.)
    const char16_t marks[] = {u'\u0300', u'\u0301', u'\u0302', u'\u0308', u'\u0323', u'\u3099', u'\u309A'};
    for (unsigned base = 0x20; base <= 0xFFFF; ++base) {
        if (base >= 0xD800 && base <= 0xDFFF)
            continue;
        for (char16_t mark : marks) {
            const char16_t text[2] = {static_cast<char16_t>(base), mark};
            char16_t once[8];
            char16_t twice[8];
            const size_t made = ComposeNfc(text, 2, once, 8);
            ASSERT_TRUE(made >= 1 && made <= 4) << base << " " << mark;
            ASSERT_EQ(ComposeNfc(once, made, twice, 8), made) << base << " " << mark;
            ASSERT_EQ(std::u16string(once, made), std::u16string(twice, made)) << base << " " << mark;
        }
    }
}

TEST(ConvertFileName, NativeServices)
{
    const SettingsWord WIDEN = OPT_SPACES | OPT_LETTERS | OPT_LETTERS_TO_FULL | OPT_CASE_KEEP;
    struct Row { std::u16string name; SettingsWord word; NameResult result; std::u16string converted; };
    const Row rows[] = {
        {u"\u4F1A\u8B70 \u8CC7\u6599.pdf", OPT_SPACES, NAME_CONVERTED, u"\u4F1A\u8B70_\u8CC7\u6599.pdf"},
        {u"\u30CF\u309A\u30BD\u30B3\u30F3.txt", OPT_JOIN_MARKS, NAME_CONVERTED, u"\u30D1\u30BD\u30B3\u30F3.txt"},
        {u"\u30CF\u309C\u30BD\u30B3\u30F3.txt", OPT_JOIN_MARKS, NAME_CONVERTED, u"\u30D1\u30BD\u30B3\u30F3.txt"},
        {u"cafe\u0301 menu.txt", OPT_JOIN_MARKS | 0x825, NAME_CONVERTED, u"Caf\u00E9_Menu.txt"},
        {u"\uFF83\uFF9E\uFF70\uFF80 \u30CF\u309B\u30C3\u30AF.txt", 45057, NAME_CONVERTED,
         u"\u30C7\u30FC\u30BF_\u30D0\u30C3\u30AF.txt"},
        // Characters Windows reads from two pairs come back as they were.
        {u"\u2235 \u2170 \uFFE2 \u7E8A", OPT_SPACES, NAME_CONVERTED, u"\u2235_\u2170_\uFFE2_\u7E8A"},
        {u"10\u6708\u301C12\u6708 \u5831\u544A.xlsx", OPT_SPACES, NAME_CONVERTED,
         u"10\u6708\u301C12\u6708_\u5831\u544A.xlsx"},
        // A backslash is a Linux name's own character.
        {u"a\\b c.txt", OPT_SPACES, NAME_CONVERTED, u"a\\b_c.txt"},
        // A new name of 255 bytes of UTF-8 at most: 83 letters widened and
        // "_ｘ" take 253, 84 take 256.
        {std::u16string(83, u'a') + u" x", WIDEN, NAME_CONVERTED, std::u16string(83, u'\uFF41') + u"_\uFF58"},
        {std::u16string(84, u'a') + u" x", WIDEN, NAME_TOO_LONG, u""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Units(row.name));
        WideName out;
        out[0] = u'?';
        EXPECT_EQ(ConvertFileName(row.word, row.name.data(), row.name.size(), out), row.result);
        EXPECT_EQ(Units(out), Units(row.converted));
    }
}

TEST(Utf8Names, EveryLinuxNameComesBackByteForByte)
{
    // Bytes that are no UTF-8 become U+DC80-U+DCFF, one each.
    struct Row { std::string bytes; std::u16string units; bool escaped; };
    const Row rows[] = {
        {"a b.txt", u"a b.txt", false},
        {"\xE4\xBC\x9A\xE8\xAD\xB0 x", u"\u4F1A\u8B70 x", false},
        {"\xF0\x9F\x98\x80", u"\U0001F600", false},
        {"\xEF\xBF\xBF", u"\uFFFF", false},
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF", false},
        // 会議 in Shift-JIS: 89 EF 8B 63, where EF 8B starts a sequence
        // that 63 cuts.
        {"\x89\xEF\x8B\x63", u"\xDC89\xDCEF\xDC8B" u"c", true},
        {"\xC0\xAF", u"\xDCC0\xDCAF", true},                 // an overlong '/'
        {"\xE0\x80\xAF", u"\xDCE0\xDC80\xDCAF", true},
        {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80", true},     // a surrogate
        {"\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80", true},
        {"a\xE4\xBC", u"a\xDCE4\xDCBC", true},                // cut short
        {"\xFF\xFE", u"\xDCFF\xDCFE", true},
        {"\xF0\x90\x82\x80", u"\U00010080", false},          // its low half looks like an escape
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Units(row.units));
        char16_t wide[32];
        size_t units = 99;
        ASSERT_TRUE(Utf8ToWide(row.bytes.data(), row.bytes.size(), wide, 32, &units));
        EXPECT_EQ(Units(std::u16string(wide, units)), Units(row.units));
        EXPECT_EQ(wide[units], 0);
        EXPECT_EQ(HoldsEscapedByte(wide, units), row.escaped);
        EXPECT_EQ(Utf8Length(wide, units), row.bytes.size());
        char back[32];
        size_t length = 99;
        ASSERT_TRUE(WideToUtf8(wide, units, back, 32, &length));
        EXPECT_EQ(std::string(back, length), row.bytes);
        // Exactly the room it needs, and one less.
        char16_t room[32];
        size_t made;
        EXPECT_TRUE(Utf8ToWide(row.bytes.data(), row.bytes.size(), room, units + 1, &made));
        EXPECT_FALSE(Utf8ToWide(row.bytes.data(), row.bytes.size(), room, units, &made));
        EXPECT_EQ(room[0], 0);
        EXPECT_TRUE(WideToUtf8(wide, units, back, row.bytes.size() + 1, &length));
        EXPECT_FALSE(WideToUtf8(wide, units, back, row.bytes.size(), &length));
        EXPECT_EQ(back[0], '\0');
    }
    // Surrogates no Linux name gives.
    for (const std::u16string units : {u"\xD842", u"a\xD842" u"b", u"\xDC7F", u"\xDD00"}) {
        char back[16] = "stale";
        size_t length;
        EXPECT_FALSE(WideToUtf8(units.data(), units.size(), back, 16, &length)) << Units(units);
        EXPECT_EQ(back[0], '\0');
    }
}

} // namespace

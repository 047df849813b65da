#include "convert/convert.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "convert/kana.h"
#include "reference.h"

namespace {

struct Row {
    const char* in;
    const char* out;
};

// Runs fn on a heap copy that ends right at the terminator, so a read or
// write past it is an AddressSanitizer error.
std::string RunShrinking(void (*fn)(char*), const std::string& in)
{
    std::unique_ptr<char[]> buf(new char[in.size() + 1]);
    std::memcpy(buf.get(), in.c_str(), in.size() + 1);
    fn(buf.get());
    return std::string(buf.get());
}

// Runs fn on a heap buffer of exactly capacity bytes holding in.
std::string RunGrowing(bool (*fn)(char*, size_t), const std::string& in, size_t capacity,
                       bool* ok)
{
    std::unique_ptr<char[]> buf(new char[capacity]);
    std::memset(buf.get(), 0x7E, capacity);
    std::memcpy(buf.get(), in.c_str(), in.size() + 1);
    *ok = fn(buf.get(), capacity);
    return std::string(buf.get());
}

std::string RunRef(void (*fn)(char*), const std::string& in)
{
    std::vector<char> buf(2 * in.size() + 1);
    std::memcpy(buf.data(), in.c_str(), in.size() + 1);
    fn(buf.data());
    return std::string(buf.data());
}

void CheckShrinking(void (*fn)(char*), void (*ref)(char*), const std::vector<Row>& rows)
{
    for (const Row& r : rows) {
        SCOPED_TRACE(Ref::Hex(r.in));
        EXPECT_EQ(Ref::Hex(RunShrinking(fn, r.in)), Ref::Hex(r.out));
        EXPECT_EQ(Ref::Hex(RunRef(ref, r.in)), Ref::Hex(r.out)) << "reference";
        EXPECT_EQ(Ref::Hex(RunShrinking(fn, r.out)), Ref::Hex(r.out)) << "second pass";
    }
}

// Each row at the exact capacity it needs, and at one byte less.
void CheckGrowing(bool (*fn)(char*, size_t), void (*ref)(char*), const std::vector<Row>& rows)
{
    for (const Row& r : rows) {
        SCOPED_TRACE(Ref::Hex(r.in));
        const size_t in_len = std::strlen(r.in);
        const size_t out_len = std::strlen(r.out);
        EXPECT_EQ(Ref::Hex(RunRef(ref, r.in)), Ref::Hex(r.out)) << "reference";

        bool ok = false;
        EXPECT_EQ(Ref::Hex(RunGrowing(fn, r.in, out_len + 1, &ok)), Ref::Hex(r.out));
        EXPECT_TRUE(ok);
        EXPECT_EQ(Ref::Hex(RunGrowing(fn, r.out, out_len + 1, &ok)), Ref::Hex(r.out))
            << "second pass";
        EXPECT_TRUE(ok);
        if (out_len > in_len) {
            ok = true;
            EXPECT_EQ(Ref::Hex(RunGrowing(fn, r.in, out_len, &ok)), Ref::Hex(r.in))
                << "one byte short must leave the name alone";
            EXPECT_FALSE(ok);
        }
    }
}

// "Ｑｕｉｂ ver ２.004　製作.見本文字", the dialog's preview sample.
const char SAMPLE[] =
    "\x82\x70\x82\x95\x82\x89\x82\x82 ver \x82\x51.004\x81\x40\x90\xBB\x8D\xEC."
    "\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A";

TEST(SpacesToUnderbar, Vectors)
{
    CheckShrinking(SpacesToUnderbar, Ref::SpacesToUnderbar, {
        {"", ""},
        {" ", "_"},
        {"a b  c", "a_b__c"},
        {"x\x81\x40y", "x_y"},
        {"\x81\x40\x81\x40", "__"},
        {"a\x81\x40\x81\x40" "b", "a__b"},
        {"\x81\x40 ", "__"},
        {" \x81\x40", "__"},
        {"\x82\xA0 b", "\x82\xA0_b"},                              // あ b
        {"\x95\x5C x", "\x95\x5C_x"},                              // 表 x
        {"\x83\x74\x83\x40\x83\x43\x83\x8B 1", "\x83\x74\x83\x40\x83\x43\x83\x8B_1"},
        {"\x82\xAB\x82\xE1 x", "\x82\xAB\x82\xE1_x"},              // きゃ x
        {"\xB1 b", "\xB1_b"},                                      // ｱ b
        {"\xDF a", "\xDF_a"},                                      // ﾟ a
        {"\xDF ", "\xDF_"},
        {"\xE0 ", "\xE0 "},                                        // E0 20 is one character
        {"\xA0 ", "\xA0_"},
        {"\x80 ", "\x80_"},
        {"\xFD ", "\xFD_"},
        {"\x81 ", "\x81 "},                                        // trail byte 0x20
        {"\x83\x20" "a", "\x83\x20" "a"},
        {"\x82\x81\x40" "b", "\x82\x81\x40" "b"},                  // ａ@b
        {"\x81\x81\x40\x40", "\x81\x81\x40\x40"},
        {"\x81", "\x81"},                                          // lone lead byte
        {" \x81", "_\x81"},
        {"\x81\x40\x81", "_\x81"},
        {"a\x82\xA0", "a\x82\xA0"},
        {SAMPLE,
         "\x82\x70\x82\x95\x82\x89\x82\x82_ver_\x82\x51.004_\x90\xBB\x8D\xEC."
         "\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A"},
    });
}

TEST(DigitsToFullWidth, Vectors)
{
    CheckGrowing(DigitsToFullWidth, Ref::DigitsToFullWidth, {
        {"", ""},
        {"2002\x94\x4E 12\x8C\x8E",                                 // 2002年 12月
         "\x82\x51\x82\x4F\x82\x4F\x82\x51\x94\x4E \x82\x50\x82\x51\x8C\x8E"},
        {"abc123def", "abc\x82\x50\x82\x51\x82\x52" "def"},
        {"0123456789",
         "\x82\x4F\x82\x50\x82\x51\x82\x52\x82\x53\x82\x54\x82\x55\x82\x56\x82\x57\x82\x58"},
        {"/:", "/:"},                                              // 0x2F, 0x3A
        {"\x83\x30", "\x83\x30"},                                  // trail byte '0'
        {"\x81" "1", "\x81" "1"},
        {"1\x81", "\x82\x50\x81"},
        {"\x81", "\x81"},
        {"\xDF" "1", "\xDF\x82\x50"},
        {"\xE0" "1", "\xE0" "1"},
        {"\xB1" "9", "\xB1\x82\x58"},
        {"\xA0" "5", "\xA0\x82\x54"},
        {"\x82\x4F", "\x82\x4F"},
        {"\x8C\x82" "9", "\x8C\x82\x82\x58"},
    });
}

TEST(DigitsToHalfWidth, Vectors)
{
    CheckShrinking(DigitsToHalfWidth, Ref::DigitsToHalfWidth, {
        {"", ""},
        {"\x82\x4F\x82\x50\x82\x51\x82\x58", "0129"},
        {"\x82\x51\x82\x4F\x82\x4F\x82\x51\x94\x4E \x82\x50\x82\x51\x8C\x8E",
         "2002\x94\x4E 12\x8C\x8E"},
        {"a\x82\x50" "b", "a1b"},
        {"\x8C\x82\x58", "\x8C\x82\x58"},                          // 撃X
        {"\x82\x82\x4F", "\x82\x82\x4F"},
        {"\x81\x82\x4F", "\x81\x82\x4F"},
        {"\x82\x4E", "\x82\x4E"},
        {"\x82\x59", "\x82\x59"},
        {"\x82", "\x82"},
        {"1\x82", "1\x82"},
        {"\x82\x50\x82", "1\x82"},
        {"\x83\x4F", "\x83\x4F"},
        {"\xDF\x82\x4F", "\xDF" "0"},
        {"\xE0\x82\x4F", "\xE0\x82\x4F"},
        {"2002", "2002"},
    });
}

TEST(LettersToFullWidth, Vectors)
{
    CheckGrowing(LettersToFullWidth, Ref::LettersToFullWidth, {
        {"", ""},
        {"\x82\x60" "Bc", "\x82\x60\x82\x61\x82\x83"},             // ＡBc
        {"hello world",
         "\x82\x88\x82\x85\x82\x8C\x82\x8C\x82\x8F \x82\x97\x82\x8F\x82\x92\x82\x8C\x82\x84"},
        {"AZaz", "\x82\x60\x82\x79\x82\x81\x82\x9A"},
        {"@[`{", "@[`{"},
        {"\x83\x41\x83\x4A", "\x83\x41\x83\x4A"},                  // アカ
        {"\x8D\x82" "a", "\x8D\x82\x82\x81"},                      // 高a
        {"\x81" "A", "\x81" "A"},
        {"A\x81", "\x82\x60\x81"},
        {"\x81", "\x81"},
        {"\xDF" "a", "\xDF\x82\x81"},
        {"\xE0" "a", "\xE0" "a"},
        {"1 _.", "1 _."},
        {"\x82\x60", "\x82\x60"},
        {"\x82\x9A", "\x82\x9A"},
    });
}

TEST(LettersToHalfWidth, Vectors)
{
    CheckShrinking(LettersToHalfWidth, Ref::LettersToHalfWidth, {
        {"", ""},
        {"\x82\x60" "Bc", "ABc"},
        {"\x82\x86\x82\x89\x82\x8C\x82\x85", "file"},              // ｆｉｌｅ
        {"\x82\x60\x82\x79\x82\x81\x82\x9A", "AZaz"},
        {"\x82\x5F\x82\x7A\x82\x80\x82\x9B", "\x82\x5F\x82\x7A\x82\x80\x82\x9B"},
        {"\x8D\x82" "a", "\x8D\x82" "a"},                          // 高a
        {"\x8D\x82\x82\x81", "\x8D\x82" "a"},
        {"\x83\x82\x60", "\x83\x82\x60"},
        {"\x82\x81\x40" "b", "a@b"},
        {"\x82", "\x82"},
        {"a\x82", "a\x82"},
        {"\x82\x4F", "\x82\x4F"},
        {"\x81\x82\x60", "\x81\x82\x60"},
        {"\xDF\x82\x60", "\xDF" "A"},
        {"\x82\x60\x82\x51", "A\x82\x51"},
    });
}

// «Ａｂｃ ｄＥＦ» and «ＡBc»: both widths and mixed widths.
const char ABC_DEF[] = "\x82\x60\x82\x82\x82\x83 \x82\x84\x82\x64\x82\x65";

TEST(LettersToUpper, Vectors)
{
    CheckShrinking(LettersToUpper, Ref::LettersToUpper, {
        {"", ""},
        {"hello World", "HELLO WORLD"},
        {ABC_DEF, "\x82\x60\x82\x61\x82\x62 \x82\x63\x82\x64\x82\x65"},
        {"\x82\x60" "Bc", "\x82\x60" "BC"},
        {"az`{@[", "AZ`{@["},
        {"\x83\x61", "\x83\x61"},                                  // ヂ: trail 'a'
        {"\x8D\x82" "a", "\x8D\x82" "A"},
        {"\x8D\x82\x82\x81", "\x8D\x82\x82\x60"},
        {"\x82" "a", "\x82" "a"},                                  // 82 61 is Ｂ
        {"a\x82", "A\x82"},
        {"\x82\x81\x82\x9A\x82\x9B\x82\x80", "\x82\x60\x82\x79\x82\x9B\x82\x80"},
        {"\xE0" "a", "\xE0" "a"},
        {"\xDF" "a", "\xDF" "A"},
        {"\x81\x82\x81", "\x81\x82\x81"},
    });
}

TEST(LettersToLower, Vectors)
{
    CheckShrinking(LettersToLower, Ref::LettersToLower, {
        {"", ""},
        {"HELLO world", "hello world"},
        {ABC_DEF, "\x82\x81\x82\x82\x82\x83 \x82\x84\x82\x85\x82\x86"},
        {"\x82\x60" "Bc", "\x82\x81" "bc"},
        {"AZ@[", "az@["},
        {"\x83\x41", "\x83\x41"},                                  // ア
        {"\x8D\x82" "PDF", "\x8D\x82" "pdf"},                      // 高PDF
        {"\x82" "A", "\x82\x41"},                                  // 82 41 is not a letter
        {"\x82" "a", "\x82\x82"},                                  // 82 61 is Ｂ
        {"\x82\x60\x82\x79\x82\x7A\x82\x5F", "\x82\x81\x82\x9A\x82\x7A\x82\x5F"},
        {"A\x82", "a\x82"},
        {"\xE0" "A", "\xE0" "A"},
    });
}

TEST(CapitalizeWords, Vectors)
{
    CheckShrinking(CapitalizeWords, Ref::CapitalizeWords, {
        {"", ""},
        {"hello world", "Hello World"},
        {"HELLO_world", "Hello_World"},
        {"abc123def", "Abc123Def"},
        {"mcDONALD o'neil", "Mcdonald O'Neil"},
        {ABC_DEF, "\x82\x60\x82\x82\x82\x83 \x82\x63\x82\x85\x82\x86"},
        {"\x82\x60" "Bc", "\x82\x60" "Bc"},
        {"a\x82\x60" "b", "A\x82\x60" "B"},
        {"\x82\x81" "A\x82\x81", "\x82\x60" "A\x82\x60"},
        {"\x82\x86\x82\x89\x82\x8C\x82\x85", "\x82\x65\x82\x89\x82\x8C\x82\x85"},  // ｆｉｌｅ
        {"\x82\x60\x82\x60", "\x82\x60\x82\x81"},
        {"\x82\x81\x82", "\x82\x60\x82"},                          // lone lead ends the word
        {"\x82\x81\x82\x9B\x82\x81", "\x82\x60\x82\x9B\x82\x60"},
        {"\x82\x81\x81\x40\x82\x81", "\x82\x60\x81\x40\x82\x60"},
        {"\x8D\x82" "PDF", "\x8D\x82" "Pdf"},                      // 高PDF
        {"\x83\x41" "bc", "\x83\x41" "Bc"},                        // ア then a word
        {"\x82" "ab", "\x82" "aB"},                                // 82 61 is Ｂ
        {"ver \x82\x51.004", "Ver \x82\x51.004"},
        {"x\xDFy", "X\xDFY"},
        {"\xE0" "ab", "\xE0" "aB"},
        {"ab\x81", "Ab\x81"},
        {"a", "A"},
        {"Z", "Z"},
    });
}

TEST(ApplyCaseOptions, LastFlagWins)
{
    const char* in = "heLLo \x82\x76\x82\x8F\x82\x92\x82\x8C\x82\x84";  // heLLo Ｗｏｒｌｄ
    const char* upper = "HELLO \x82\x76\x82\x6E\x82\x71\x82\x6B\x82\x63";
    const char* lower = "hello \x82\x97\x82\x8F\x82\x92\x82\x8C\x82\x84";
    const char* cap = "Hello \x82\x76\x82\x8F\x82\x92\x82\x8C\x82\x84";
    struct Case { bool u, l, c; const char* out; };
    const Case cases[] = {
        {false, false, false, in}, {true, false, false, upper}, {false, true, false, lower},
        {false, false, true, cap}, {true, true, false, lower},  {true, false, true, cap},
        {false, true, true, cap},  {true, true, true, cap},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.u << c.l << c.c);
        std::string buf = in;
        ApplyCaseOptions(&buf[0], c.u, c.l, c.c);
        EXPECT_EQ(Ref::Hex(buf), Ref::Hex(c.out));
        std::string ref = in;
        Ref::ApplyCaseOptions(&ref[0], c.u, c.l, c.c);
        EXPECT_EQ(Ref::Hex(ref), Ref::Hex(c.out)) << "reference";
    }
}

TEST(KatakanaToFullWidth, Vectors)
{
    CheckGrowing(KatakanaToFullWidth, Ref::KatakanaToFullWidth, {
        {"", ""},
        {"abc 1", "abc 1"},
        {"\xB6\xDE", "\x83\x4B"},                                  // ｶﾞ ガ
        {"\xCA\xDF", "\x83\x70"},                                  // ﾊﾟ パ
        {"\xB3\xDE", "\x83\x94"},                                  // ｳﾞ ヴ
        {"\xCA", "\x83\x6E"},                                      // ﾊ ハ
        {"\xDC\xDE", "\x83\x8F\x81\x4A"},                          // ﾜﾞ ワ゛: no ヷ
        {"\xB1\xDF", "\x83\x41\x81\x4B"},                          // ｱﾟ ア゜
        {"\xB6\xDF", "\x83\x4A\x81\x4B"},                          // ｶﾟ カ゜
        {"\xDE", "\x81\x4A"},
        {"\xDF\xDE", "\x81\x4B\x81\x4A"},
        {"\xB6\xDE\xDE", "\x83\x4B\x81\x4A"},                      // ｶﾞﾞ ガ゛
        {"\xB0", "\x81\x5B"},                                      // ｰ ー
        {"\xA1\xA2\xA3\xA4\xA5", "\x81\x42\x81\x75\x81\x76\x81\x41\x81\x45"},
        {"\xA6\xA7\xAF\xDD", "\x83\x92\x83\x40\x83\x62\x83\x93"},  // ｦｧｯﾝ
        {"\xC3\xDE\xB0\xC0", "\x83\x66\x81\x5B\x83\x5E"},         // ﾃﾞｰﾀ データ
        {"a\xB1" "1", "a\x83\x41" "1"},
        // Trail bytes in the half-width range belong to their lead.
        {"\x83\xB1", "\x83\xB1"},
        {"\x95\xDE\xDE", "\x95\xDE\x81\x4A"},
        {"\x81\xB6\xDE", "\x81\xB6\x81\x4A"},
        {"\xB1\x81", "\x83\x41\x81"},                              // lone lead byte
        {"\x83\x41\xB1", "\x83\x41\x83\x41"},
    });

    // Blocks of 16 bytes without A1-DF move as they are. A lead at byte 15
    // whose trail, byte 16, is B1 must not begin ｱ; after a character that
    // ends at byte 15, B1 is ｱ.
    const std::string seven = "\x8C\x40\x8C\x40\x8C\x40\x8C\x40\x8C\x40\x8C\x40\x8C\x40";
    const std::string straddling = "a" + seven + "\x95\xB1\xB1";
    const std::string straddling_wide = "a" + seven + "\x95\xB1\x83\x41";
    const std::string ending = seven + "\x95\x40\xB1\xDE";
    const std::string ending_wide = seven + "\x95\x40\x83\x41\x81\x4A";
    const std::string twice = seven + seven + "ab\xB6\xDE" + seven;
    const std::string twice_wide = seven + seven + "ab\x83\x4B" + seven;
    CheckGrowing(KatakanaToFullWidth, Ref::KatakanaToFullWidth, {
        {straddling.c_str(), straddling_wide.c_str()},
        {ending.c_str(), ending_wide.c_str()},
        {twice.c_str(), twice_wide.c_str()},
    });
}

TEST(KatakanaToHalfWidth, Vectors)
{
    CheckShrinking(KatakanaToHalfWidth, Ref::KatakanaToHalfWidth, {
        {"", ""},
        {"\x83\x4B", "\xB6\xDE"},                                  // ガ ｶﾞ
        {"\x83\x94", "\xB3\xDE"},                                  // ヴ ｳﾞ
        {"\x83\x70\x83\x6E", "\xCA\xDF\xCA"},                      // パハ
        {"\x81\x5B", "\xB0"},                                      // ー
        {"\x81\x42\x81\x75\x81\x76\x81\x41\x81\x45", "\xA1\xA2\xA3\xA4\xA5"},
        {"\x81\x4A\x81\x4B", "\xDE\xDF"},                          // ゛゜
        {"\x83\x66\x81\x5B\x83\x5E", "\xC3\xDE\xB0\xC0"},         // データ
        {"\x83\x40\x83\x5C\x83\x92\x83\x93", "\xA7\xBF\xA6\xDD"},  // ァソヲン
        // ヰヱヮヵヶ have no half-width form; neither have hiragana.
        {"\x83\x90\x83\x91\x83\x8E\x83\x95\x83\x96", "\x83\x90\x83\x91\x83\x8E\x83\x95\x83\x96"},
        {"\x82\xA0\x82\xAA", "\x82\xA0\x82\xAA"},
        {"\x83\x97\x83\x9F", "\x83\x97\x83\x9F"},                // unassigned, Greek
        // Letters, digits and signs stay, unlike nkf -Z4.
        {"\x82\x60\x82\x4F\x81\x40\x81\x43\x81\x69", "\x82\x60\x82\x4F\x81\x40\x81\x43\x81\x69"},
        {"\xB1 a", "\xB1 a"},
        {"\x95\x83" "A", "\x95\x83" "A"},                           // 83 as a trail
        {"x\x83", "x\x83"},
        {"\x83\x41\x83", "\xB1\x83"},
    });

    // Blocks of 16 bytes without 81 or 83 move as they are: the character
    // after them starts one byte later when a lead ends the block, which
    // runs of lead-range bytes (95 95, E0 E0) and trails like 40 decide.
    const std::string kanji = "\x8C\xA9";  // 見
    const std::string runs = "\x95\x95";   // a kanji whose trail is lead-range too
    std::vector<std::string> owned;
    for (const std::string& before : {std::string(), std::string("a"), std::string("ab")}) {
        for (const std::string& unit : {kanji, runs, std::string("\xE0\xE0"), std::string("\xE0\x40")}) {
            std::string filler = before;
            while (filler.size() < 40)
                filler += unit;
            for (size_t cut : {15u, 16u, 17u, 31u, 32u, 33u, 40u}) {
                const std::string head = filler.substr(0, cut);
                owned.push_back(head + "\x83\x4B\x81\x5B" "a");
                owned.push_back(head + "\x83\x4B");
                owned.push_back(head);
            }
        }
    }
    std::vector<Row> rows;
    std::vector<std::string> expected;
    expected.reserve(owned.size());
    for (const std::string& in : owned)
        expected.push_back(RunRef(Ref::KatakanaToHalfWidth, in));
    for (size_t i = 0; i < owned.size(); ++i)
        rows.push_back({owned[i].c_str(), expected[i].c_str()});
    CheckShrinking(KatakanaToHalfWidth, Ref::KatakanaToHalfWidth, rows);
    // By hand: a lead at byte 15 whose trail, byte 16, is 83 and must not
    // begin ア; and a character that ends at byte 15, so that 83 41 after it
    // is ア.
    const std::string seven = "\x8C\xA9\x8C\xA9\x8C\xA9\x8C\xA9\x8C\xA9\x8C\xA9\x8C\xA9";
    const std::string straddling = "a" + seven + "\x95\x83\x41";
    const std::string ending = seven + "\x95\x95\x83\x41";
    const std::string ending_narrowed = seven + "\x95\x95\xB1";
    CheckShrinking(KatakanaToHalfWidth, Ref::KatakanaToHalfWidth, {
        {straddling.c_str(), straddling.c_str()},
        {ending.c_str(), ending_narrowed.c_str()},
    });
}

TEST(JoinSpacingMarks, Vectors)
{
    CheckShrinking(JoinSpacingMarks, Ref::JoinSpacingMarks, {
        {"", ""},
        {"\x83\x6E\x81\x4A", "\x83\x6F"},                          // ハ゛ バ
        {"\x83\x6E\x81\x4B", "\x83\x70"},                          // ハ゜ パ
        {"\x83\x65\x81\x4A", "\x83\x66"},                          // テ゛ デ
        {"\x83\x45\x81\x4A", "\x83\x94"},                          // ウ゛ ヴ
        {"\x82\xCD\x81\x4A\x82\xCD\x81\x4B", "\x82\xCE\x82\xCF"},  // は゛は゜ ばぱ
        {"\x81\x54\x81\x4A\x81\x52\x81\x4A", "\x81\x55\x81\x53"},  // ゝ゛ヽ゛ ゞヾ
        {"\x83\x6E\x81\x4A\x81\x4A", "\x83\x6F\x81\x4A"},        // ハ゛゛
        // No voiced form, or not the spacing mark: kept.
        {"\x83\x41\x81\x4A", "\x83\x41\x81\x4A"},                // ア゛
        {"\x83\x8F\x81\x4A", "\x83\x8F\x81\x4A"},                // ワ゛
        {"\x82\xA9\x81\x4B", "\x82\xA9\x81\x4B"},                // か゜
        {"\x82\xA4\x81\x4A", "\x82\xA4\x81\x4A"},                // う゛: no ゔ
        {"\x83\x6F\x81\x4A", "\x83\x6F\x81\x4A"},                // バ゛
        {"\xCA\xDE", "\xCA\xDE"},                                  // ﾊﾞ
        {"\x83\x6E\xDE", "\x83\x6E\xDE"},                          // ハﾞ
        {"\xCA\x81\x4A", "\xCA\x81\x4A"},                          // ﾊ゛
        {"\x81\x4A", "\x81\x4A"},
        // 83 6E only as the trail and lead of other characters.
        {"\x83\x83\x6E\x81\x4A", "\x83\x83\x6E\x81\x4A"},
        {"\x83\x6E\x81", "\x83\x6E\x81"},
        {"\x83\x6E\x81\x4A" "a\x83\x6E", "\x83\x6F" "a\x83\x6E"},
    });
}

TEST(GrowingConversions, CapacityLimits)
{
    struct Grow { const char* name; bool (*fn)(char*, size_t); void (*ref)(char*); };
    const Grow grows[] = {
        {"digits", DigitsToFullWidth, Ref::DigitsToFullWidth},
        {"letters", LettersToFullWidth, Ref::LettersToFullWidth},
        {"katakana", KatakanaToFullWidth, Ref::KatakanaToFullWidth},
    };
    const char* inputs[] = {
        "my file 01", "1", "a", "A1b2C3", ("\x83\x41" "9z"), "x\x82", "\x82\x60\x82\x4F",
        "\xB1", ("\xB6\xDE\xB1" "a"), "\xDE\xDE",
    };
    for (const Grow& g : grows) {
        for (const char* in : inputs) {
            SCOPED_TRACE(testing::Message() << g.name << " " << Ref::Hex(in));
            const std::string expected = RunRef(g.ref, in);
            const size_t n = std::strlen(in);
            const size_t need = expected.size() + 1;
            // Every capacity from the bare string up to some slack: fits
            // exactly when the result and its terminator fit.
            for (size_t cap = n + 1; cap <= need + 3; ++cap) {
                SCOPED_TRACE(cap);
                bool ok = false;
                const std::string got = RunGrowing(g.fn, in, cap, &ok);
                EXPECT_EQ(ok, cap >= need);
                EXPECT_EQ(Ref::Hex(got), Ref::Hex(ok ? expected : std::string(in)));
            }
        }
    }
}

TEST(GrowingConversions, FullNameBuffer)
{
    // In a 256-byte name buffer 127 digits grow to 254 bytes and fit; 128
    // would need 257 bytes with the terminator.
    for (size_t count : {126u, 127u, 128u, 129u}) {
        SCOPED_TRACE(count);
        bool ok = false;
        const std::string digits = RunGrowing(DigitsToFullWidth, std::string(count, '7'), 256, &ok);
        EXPECT_EQ(ok, count <= 127);
        EXPECT_EQ(digits.size(), ok ? 2 * count : count);
        const std::string letters = RunGrowing(LettersToFullWidth, std::string(count, 'q'), 256, &ok);
        EXPECT_EQ(ok, count <= 127);
        EXPECT_EQ(letters.size(), ok ? 2 * count : count);
        const std::string kana = RunGrowing(KatakanaToFullWidth, std::string(count, '\xB1'), 256, &ok);
        EXPECT_EQ(ok, count <= 127);
        EXPECT_EQ(kana.size(), ok ? 2 * count : count);
    }
}

// Names too long to widen in scratch room are counted and converted in
// place: the same bytes, and the same answer at the exact capacity.
TEST(GrowingConversions, KatakanaBeyondTheScratchRoom)
{
    std::string in;
    while (in.size() < 700)
        in += "\xB6\xDE\xB1" "a\x83\xB1\xDC\xDE";  // ｶﾞｱa + 83 B1 + ﾜﾞ
    for (size_t length : {510u, 511u, 512u, 700u}) {
        const std::string name = in.substr(0, length);
        SCOPED_TRACE(length);
        const std::string expected = RunRef(Ref::KatakanaToFullWidth, name);
        bool ok = false;
        EXPECT_EQ(Ref::Hex(RunGrowing(KatakanaToFullWidth, name, expected.size() + 1, &ok)), Ref::Hex(expected));
        EXPECT_TRUE(ok);
        EXPECT_EQ(Ref::Hex(RunGrowing(KatakanaToFullWidth, name, expected.size(), &ok)), Ref::Hex(name));
        EXPECT_FALSE(ok);
    }
}

} // namespace

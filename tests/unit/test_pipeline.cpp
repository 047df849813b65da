#include "convert/pipeline.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "convert/strings.h"
#include "reference.h"
#include "settings/settings.h"

namespace {

// Runs the pipeline on a heap buffer of exactly capacity bytes.
std::string Convert(SettingsWord word, const std::string& name, size_t capacity, bool* ok)
{
    std::unique_ptr<char[]> buf(new char[capacity]);
    std::memset(buf.get(), 0, capacity);
    std::memcpy(buf.get(), name.c_str(), name.size() + 1);
    *ok = ConvertNameWithWord(word, buf.get(), capacity);
    return std::string(buf.get());
}

std::string RefConvert(int word, const std::string& name, size_t* needed)
{
    std::vector<char> buf(2 * name.size() + 1);
    std::memcpy(buf.data(), name.c_str(), name.size() + 1);
    *needed = Ref::ConvertNameWithWord(word, buf.data());
    return std::string(buf.data());
}

struct Row {
    SettingsWord word;
    const char* in;
    const char* out;
};

void CheckRows(const std::vector<Row>& rows, size_t capacity)
{
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "word 0x" << std::hex << r.word << " on "
                                        << Ref::Hex(r.in));
        bool ok = false;
        EXPECT_EQ(Ref::Hex(Convert(r.word, r.in, capacity, &ok)), Ref::Hex(r.out));
        EXPECT_TRUE(ok);
        size_t needed = 0;
        EXPECT_EQ(Ref::Hex(RefConvert(r.word, r.in, &needed)), Ref::Hex(r.out)) << "reference";
    }
}

const char MY_FILE[] = "my file 01";

TEST(Pipeline, WorkedExamples)
{
    CheckRows({
        {0x001, MY_FILE, "my_file_01"},
        {0x00B, MY_FILE, "my_file_\x82\x4F\x82\x50"},
        {0x225, MY_FILE, "MY_FILE_01"},
        {0x845, MY_FILE, "\x82\x6C\x82\x99_\x82\x65\x82\x89\x82\x8C\x82\x85_01"},  // Ｍｙ_Ｆｉｌｅ_01
        {0x004, MY_FILE, MY_FILE},
        {0x000, MY_FILE, MY_FILE},
        {2085, MY_FILE, "My_File_01"},
        {305, MY_FILE, "my_file_01"},
        {305, "my file \x82\x4F\x82\x50", "my_file_\x82\x4F\x82\x50"},           // digits off
    }, NAME_BUFFER_SIZE);
}

// The preview sample in its 50-byte buffer under the button choices the
// dialog offers. The largest growth, six bytes, reaches 40 bytes.
TEST(Pipeline, PreviewSample)
{
    const char* sample =
        "\x82\x70\x82\x95\x82\x89\x82\x82 ver \x82\x51.004\x81\x40\x90\xBB\x8D\xEC."
        "\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A";
    // "_製作.見本文字", the unchanging end once spaces are converted.
    const std::string tail = "_\x90\xBB\x8D\xEC.\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A";
    const std::string first_word = "\x82\x70\x82\x95\x82\x89\x82\x82";
    const std::string spaces = first_word + "_ver_\x82\x51.004" + tail;
    const std::string full_digits = first_word + "_ver_\x82\x51.\x82\x4F\x82\x4F\x82\x53" + tail;
    const std::string half_digits = first_word + "_ver_2.004" + tail;
    const std::string upper = "\x82\x70\x82\x74\x82\x68\x82\x61_VER_\x82\x51.004" + tail;
    const std::string full_lower =
        "\x82\x91\x82\x95\x82\x89\x82\x82_\x82\x96\x82\x85\x82\x92_\x82\x51.004" + tail;
    const std::string half_cap = "Quib_Ver_\x82\x51.004" + tail;
    const std::string widest =
        first_word + " \x82\x96\x82\x85\x82\x92 \x82\x51.\x82\x4F\x82\x4F\x82\x53\x81\x40"
                     "\x90\xBB\x8D\xEC.\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A";
    ASSERT_EQ(std::strlen(sample), 34u);
    ASSERT_EQ(widest.size(), 40u);

    const SettingsWord CHECKBOX_1002 = OPT_LETTERS;
    CheckRows({
        {0, sample, sample},
        {OPT_SPACES, sample, spaces.c_str()},
        {OPT_SPACES | OPT_DIGITS | OPT_DIGITS_TO_FULL, sample, full_digits.c_str()},
        {OPT_SPACES | OPT_DIGITS | OPT_DIGITS_TO_HALF, sample, half_digits.c_str()},
        {OPT_SPACES | OPT_LETTERS | OPT_WIDTH_KEEP | OPT_CASE_UPPER, sample, upper.c_str()},
        {OPT_SPACES | OPT_LETTERS | OPT_LETTERS_TO_FULL | OPT_CASE_LOWER, sample,
         full_lower.c_str()},
        {OPT_SPACES | OPT_LETTERS | OPT_LETTERS_TO_HALF | OPT_CASE_CAPITALIZE, sample,
         half_cap.c_str()},
        {CHECKBOX_1002 | OPT_WIDTH_KEEP | OPT_CASE_KEEP, sample, sample},
        {CHECKBOX_1002, sample, sample},
        {CHECKBOX_1002 | OPT_CASE_UPPER, sample, sample},
        // 1001 unticked: its radio buttons keep their state but do nothing.
        {OPT_SPACES | OPT_DIGITS_TO_FULL, sample, spaces.c_str()},
        {OPT_SPACES | OPT_DIGITS_TO_HALF, sample, spaces.c_str()},
        {OPT_DIGITS | OPT_DIGITS_TO_FULL | OPT_LETTERS | OPT_LETTERS_TO_FULL | OPT_CASE_KEEP,
         sample, widest.c_str()},
    }, 50);
}

// Katakana and the marks: joined first, converted last, and a kana ends a
// word for capitalising. ﾃﾞｰﾀ ハ゛ックアップ is the dialog's second sample.
const char KANA_SAMPLE[] =
    "\xC3\xDE\xB0\xC0 \x83\x6E\x81\x4A\x83\x62\x83\x4E\x83\x41\x83\x62\x83\x76";

TEST(Pipeline, Katakana)
{
    const SettingsWord toFull = OPT_KANA | OPT_KANA_TO_FULL;
    const SettingsWord toHalf = OPT_KANA | OPT_KANA_TO_HALF;
    CheckRows({
        // ｶﾞｲﾄﾞbook ﾃﾞｰﾀ under 2085 and katakana to full: ガイドBook_データ.
        {2085 | toFull, "\xB6\xDE\xB2\xC4\xDE" "book \xC3\xDE\xB0\xC0",
         "\x83\x4B\x83\x43\x83\x68" "Book_\x83\x66\x81\x5B\x83\x5E"},
        {2085 | toHalf, "\x83\x4B\x83\x43\x83\x68" "book", "\xB6\xDE\xB2\xC4\xDE" "Book"},
        // Today's words leave every kana and mark alone.
        {305, KANA_SAMPLE, "\xC3\xDE\xB0\xC0_\x83\x6E\x81\x4A\x83\x62\x83\x4E\x83\x41\x83\x62\x83\x76"},
        {2085, "\xB1" "ab \x83\x41" "cd", "\xB1" "Ab_\x83\x41" "Cd"},
        // データ_バックアップ, joined and widened.
        {305 | toFull | OPT_JOIN_MARKS, KANA_SAMPLE,
         "\x83\x66\x81\x5B\x83\x5E_\x83\x6F\x83\x62\x83\x4E\x83\x41\x83\x62\x83\x76"},
        // ﾃﾞｰﾀ_ﾊﾞｯｸｱｯﾌﾟ: the joined バ narrows like any other.
        {305 | toHalf | OPT_JOIN_MARKS, KANA_SAMPLE,
         "\xC3\xDE\xB0\xC0_\xCA\xDE\xAF\xB8\xB1\xAF\xCC\xDF"},
        // Without the join, ゛ narrows on its own.
        {305 | toHalf, KANA_SAMPLE, "\xC3\xDE\xB0\xC0_\xCA\xDE\xAF\xB8\xB1\xAF\xCC\xDF"},
        {305 | toFull, KANA_SAMPLE,
         "\x83\x66\x81\x5B\x83\x5E_\x83\x6E\x81\x4A\x83\x62\x83\x4E\x83\x41\x83\x62\x83\x76"},
        {OPT_JOIN_MARKS, KANA_SAMPLE,
         "\xC3\xDE\xB0\xC0 \x83\x6F\x83\x62\x83\x4E\x83\x41\x83\x62\x83\x76"},
        // The radio buttons without their check box do nothing; both: to
        // full, then to half.
        {OPT_KANA_TO_FULL | OPT_KANA_TO_HALF, "\xB1\x83\x41", "\xB1\x83\x41"},
        {OPT_KANA, "\xB1\x83\x41", "\xB1\x83\x41"},
        {OPT_KANA | OPT_KANA_TO_FULL | OPT_KANA_TO_HALF, "\xB1\x83\x41\xDC\xDE", "\xB1\xB1\xDC\xDE"},
        // Letters to full width, then katakana: both widen.
        {OPT_LETTERS | OPT_LETTERS_TO_FULL | toFull, "a\xB1", "\x82\x81\x83\x41"},
    }, NAME_BUFFER_SIZE);

    // Widening katakana fails like any widening when the result would not
    // fit, also after letters took their room.
    const size_t half = NAME_BUFFER_SIZE / 2;
    bool ok = true;
    Convert(toFull, std::string(half, '\xB1'), NAME_BUFFER_SIZE, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(Convert(toFull, std::string(half - 1, '\xB1'), NAME_BUFFER_SIZE, &ok).size(), 2 * half - 2);
    EXPECT_TRUE(ok);
    Convert(OPT_LETTERS | OPT_LETTERS_TO_FULL | toFull, std::string(half / 2, 'a') + std::string(half / 2, '\xB1'),
            NAME_BUFFER_SIZE, &ok);
    EXPECT_FALSE(ok);
    Convert(OPT_LETTERS | OPT_LETTERS_TO_FULL | toFull, std::string(half / 2, 'a') + std::string(half / 2 - 1, '\xB1'),
            NAME_BUFFER_SIZE, &ok);
    EXPECT_TRUE(ok);
}

// Words only a hand-edited file can hold: every bit acts on its own, in the
// fixed order, and the case step runs after each width bit.
TEST(Pipeline, WordsTheDialogCannotProduce)
{
    CheckRows({
        // Digits both ways: to full width, then back.
        {OPT_DIGITS | OPT_DIGITS_TO_FULL | OPT_DIGITS_TO_HALF, "a\x82\x4F" "1", "a01"},
        {OPT_DIGITS | OPT_DIGITS_TO_FULL | OPT_DIGITS_TO_HALF, MY_FILE, MY_FILE},
        // Sub-options without their parent do nothing.
        {OPT_DIGITS_TO_FULL | OPT_DIGITS_TO_HALF, "\x82\x4F" "1", "\x82\x4F" "1"},
        {OPT_ALL & ~OPT_LETTERS & ~OPT_DIGITS & ~OPT_SPACES, "aB \x82\x81" "1", "aB \x82\x81" "1"},
        // All three width bits: the last, to half width, decides.
        {OPT_SPACES | OPT_LETTERS | OPT_WIDTH_KEEP | OPT_LETTERS_TO_FULL | OPT_LETTERS_TO_HALF |
             OPT_CASE_UPPER,
         MY_FILE, "MY_FILE_01"},
        {OPT_LETTERS | OPT_LETTERS_TO_FULL | OPT_LETTERS_TO_HALF | OPT_CASE_CAPITALIZE,
         "my file", "My File"},
        {OPT_LETTERS | OPT_LETTERS_TO_FULL | OPT_LETTERS_TO_HALF, "\x82\x81" "B", "aB"},
        // Several case bits: upper, lower, capitalise, the last one wins.
        {OPT_SPACES | OPT_LETTERS | OPT_WIDTH_KEEP | OPT_CASE_UPPER | OPT_CASE_LOWER,
         "mY fILE 01", "my_file_01"},
        {OPT_SPACES | OPT_LETTERS | OPT_WIDTH_KEEP | OPT_CASE_UPPER | OPT_CASE_CAPITALIZE,
         "mY fILE 01", "My_File_01"},
        {OPT_SPACES | OPT_LETTERS | OPT_WIDTH_KEEP | OPT_CASE_LOWER | OPT_CASE_CAPITALIZE,
         "mY fILE 01", "My_File_01"},
        {OPT_ALL, "mY fILE \x82\x4F" "1", "My_File_01"},
        {OPT_ALL & ~OPT_CASE_CAPITALIZE, "mY fILE \x82\x4F" "1", "my_file_01"},
        // Full width then capitalised: mixed widths join into one word.
        {OPT_LETTERS | OPT_LETTERS_TO_FULL | OPT_CASE_CAPITALIZE, "a\x82\x61" "C",
         "\x82\x60\x82\x82\x82\x83"},
        {OPT_LETTERS | OPT_WIDTH_KEEP | OPT_CASE_CAPITALIZE, "a\x82\x61" "C",
         "A\x82\x61" "C"},
    }, NAME_BUFFER_SIZE);
}

// Names that step on every conversion and every trap of the character
// model, under every word, against the reference pipeline.
const char* const NAMES[] = {
    "",
    "my file 01",
    "mY fILE \x82\x4F\x82\x50",
    ("\x82\x70\x82\x95\x82\x89\x82\x82 ver \x82\x51.004\x81\x40\x90\xBB\x8D\xEC."
     "\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A"),
    ("\x82\x81" "B c\x81\x40\x82\x50" "2\x8D\x82" "a\x83\x41" "z"),  // ａB c　１2高aアz
    "\x83\x5C\x95\x5C x\x8C\x82\x58\x82\x9B",                     // ソ表 x撃X + unassigned
    ("\xB1\xDF 1a\xE0" "A\xCA\xDF"),                               // half-width katakana
    "x\x81",                                                       // lone lead byte
    "\x82",
    "abc123DEF\x82\x60\x82\x9A\x82\x4F\x82\x58 _.",
    "\x81\x40\x81\x40 \x81\x81\x40\x40",
    "1\x82\x81\x40" "2 \x81\x40",                                 // 1ａ@2 　: 81 40 as trail, as lead
    // Longer than a block of 16 bytes: ａ across the first block's end, and
    // the word it starts; eight ideographic spaces, the first across the
    // end, before the last byte of the second block.
    "012345678901234\x82\x81" "bc d\x82\x60\x82\x82 e",
    ("0123456789ABCDE\x81\x40\x81\x40\x81\x40\x81\x40\x81\x40\x81\x40\x81\x40"
     "\x81\x40z\x82\x60"),
    // Kana of both widths, voiced pairs, both kinds of mark, after letters.
    KANA_SAMPLE,
    ("\xB6\xDE\xB2\xC4\xDE" "book \xDC\xDE\x83\x4B\x83\x94\x82\xCD\x81\x4B\x81\x5B"),
    ("a\x83\x6E\x81\x4A\x81\x4A" "1\xB1\xDF\x83\x83\x6E\x81\x4A"),
};

TEST(Pipeline, EveryWordAgainstReference)
{
    for (const char* name : NAMES) {
        SCOPED_TRACE(Ref::Hex(name));
        const size_t n = std::strlen(name);
        for (int word = 0; word <= OPT_CONVERSIONS; ++word) {
            size_t needed = 0;
            const std::string expected = RefConvert(word, name, &needed);
            bool ok = false;
            const std::string got = Convert(word, name, NAME_BUFFER_SIZE, &ok);
            if (!ok || got != expected) {
                ADD_FAILURE() << "word 0x" << std::hex << word << ": got " << Ref::Hex(got)
                              << (ok ? "" : " (false)") << ", expected " << Ref::Hex(expected);
                return;
            }
            // At exactly the capacity it needs, then one byte less.
            if (Convert(word, name, needed, &ok) != expected || !ok) {
                ADD_FAILURE() << "word 0x" << std::hex << word << " at exact capacity "
                              << std::dec << needed;
                return;
            }
            if (needed > n + 1) {
                Convert(word, name, needed - 1, &ok);
                if (ok) {
                    ADD_FAILURE() << "word 0x" << std::hex << word << " fits one byte short";
                    return;
                }
            }
        }
    }
}

TEST(Pipeline, BitsAboveFifteenAreIgnored)
{
    // Bit 16 (a folder's contents) says what a batch renames, never how.
    const SettingsWord high[] = {OPT_FOLDER_CONTENTS, 0x7FFF0000, INT_MIN, -65536};
    for (const char* name : NAMES) {
        SCOPED_TRACE(Ref::Hex(name));
        for (int word = 0; word <= OPT_CONVERSIONS; ++word) {
            bool ok = false;
            const std::string plain = Convert(word, name, NAME_BUFFER_SIZE, &ok);
            for (SettingsWord h : high) {
                bool ok_high = false;
                if (Convert(word | h, name, NAME_BUFFER_SIZE, &ok_high) != plain ||
                    ok_high != ok) {
                    ADD_FAILURE() << "word 0x" << std::hex << (word | h);
                    return;
                }
            }
        }
    }
}

TEST(Pipeline, ResultThatDoesNotFit)
{
    // The pipeline keeps to the capacity it is given. In 256 bytes, 128
    // letters grow to 256 bytes, one too many.
    const size_t SMALL = 256;
    const std::string letters(128, 'x');
    bool ok = true;
    Convert(OPT_LETTERS | OPT_LETTERS_TO_FULL, letters, SMALL, &ok);
    EXPECT_FALSE(ok);
    Convert(OPT_LETTERS | OPT_LETTERS_TO_FULL, letters.substr(1), SMALL, &ok);
    EXPECT_TRUE(ok);
    // Digits grow first, letters then: each growth is checked on its own.
    const std::string mixed = std::string(100, '1') + std::string(27, 'a') + " ";
    Convert(OPT_DIGITS | OPT_DIGITS_TO_FULL, mixed, SMALL, &ok);
    EXPECT_TRUE(ok);
    Convert(OPT_DIGITS | OPT_DIGITS_TO_FULL | OPT_LETTERS | OPT_LETTERS_TO_FULL, mixed,
            SMALL, &ok);
    EXPECT_TRUE(ok);
    Convert(OPT_SPACES | OPT_DIGITS | OPT_DIGITS_TO_FULL | OPT_LETTERS | OPT_LETTERS_TO_FULL,
            mixed + "b", SMALL, &ok);
    EXPECT_FALSE(ok);
    // Grows past the buffer, then shrinks back: the growth alone fails.
    Convert(OPT_DIGITS | OPT_DIGITS_TO_FULL | OPT_DIGITS_TO_HALF, std::string(200, '5'),
            SMALL, &ok);
    EXPECT_FALSE(ok);

    // A name buffer holds any name of 255 units under any word: 255
    // half-width digits and letters grow to 510 bytes, and 255 double-byte
    // characters stay at 510.
    const std::string wide = std::string(200, '7') + std::string(55, 'k');
    EXPECT_EQ(Convert(OPT_DIGITS | OPT_DIGITS_TO_FULL | OPT_LETTERS | OPT_LETTERS_TO_FULL, wide,
                      NAME_BUFFER_SIZE, &ok).size(), 510u);
    EXPECT_TRUE(ok);
    std::string kanji;
    for (int i = 0; i < 255; ++i)
        kanji += (i % 2 == 0) ? "\x95\x5C" : "\x81\x40";
    for (SettingsWord word : {0xFFF, 0x84F, 0x897, 0x825}) {
        SCOPED_TRACE(word);
        const std::string converted = Convert(word, kanji, NAME_BUFFER_SIZE, &ok);
        EXPECT_TRUE(ok);
        EXPECT_EQ(converted.size(), (word & OPT_SPACES) ? 510u - 127u : 510u);
    }
}

// The word batch mode reads from "config.dat" beside this test program.
struct ConfigBesideExecutable : testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(SettingsFilePath(path, sizeof path));
        std::ifstream old(path, std::ios::binary);
        had_file = old.good();
        if (had_file) {
            std::ostringstream content;
            content << old.rdbuf();
            saved = content.str();
        }
    }
    void TearDown() override
    {
        if (had_file)
            std::ofstream(path, std::ios::binary) << saved;
        else
            std::remove(path);
    }
    void Write(const char* content) { std::ofstream(path, std::ios::binary) << content; }

    NameBuffer path = {};
    bool had_file = false;
    std::string saved;
};

TEST_F(ConfigBesideExecutable, TheSavedWordDrivesThePipeline)
{
    NameBuffer name;
    Write("2085");
    std::strcpy(name, MY_FILE);
    EXPECT_TRUE(ConvertNameWithWord(LoadSettings(), name, sizeof name));
    EXPECT_STREQ(name, "My_File_01");

    Write("  37\n");
    std::strcpy(name, "my file 01");
    EXPECT_TRUE(ConvertNameWithWord(LoadSettings(), name, sizeof name));
    EXPECT_STREQ(name, "my_file_01");

    std::remove(path);
    std::strcpy(name, "my file \x82\x4F\x82\x50");
    EXPECT_TRUE(ConvertNameWithWord(LoadSettings(), name, sizeof name));
    EXPECT_STREQ(name, "my_file_\x82\x4F\x82\x50");

    Write("76");  // letters to full width
    std::memset(name, 0, sizeof name);
    std::memset(name, 'x', 256);
    EXPECT_FALSE(ConvertNameWithWord(LoadSettings(), name, sizeof name));
}

} // namespace

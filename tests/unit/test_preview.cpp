// The dialog's preview line (1021) for choices of buttons, and which buttons
// the dialog enables.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "settings/settings.h"
#include "ui/preview.h"

namespace {

// Ｑｕｉｂ ver ２.004　製作.見本文字
const char SAMPLE[] =
    "\x82\x70\x82\x95\x82\x89\x82\x82 ver \x82\x51.004\x81\x40\x90\xBB\x8D\xEC.\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A";
// Ｑｕｉｂ_ver_２.004_製作.見本文字
const char UNDERBARS[] =
    "\x82\x70\x82\x95\x82\x89\x82\x82_ver_\x82\x51.004_\x90\xBB\x8D\xEC.\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A";

std::string Preview(SettingsWord buttons)
{
    char buffer[PREVIEW_BUFFER_SIZE];
    EXPECT_TRUE(MakePreview(buttons, buffer));
    return buffer;
}

struct PreviewCase {
    const char* buttons;
    SettingsWord word;
    const char* after;
};

const PreviewCase PREVIEW_CASES[] = {
    {"nothing", 0, SAMPLE},
    {"1000", OPT_SPACES, UNDERBARS},
    {"1000 1001 1004", OPT_SPACES | OPT_DIGITS | OPT_DIGITS_TO_FULL, // Ｑｕｉｂ_ver_２.００４_製作.見本文字
     "\x82\x70\x82\x95\x82\x89\x82\x82_ver_\x82\x51.\x82\x4F\x82\x4F\x82\x53_\x90\xBB\x8D\xEC.\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A"},
    {"1000 1001 1005", OPT_SPACES | OPT_DIGITS | OPT_DIGITS_TO_HALF, // Ｑｕｉｂ_ver_2.004_製作.見本文字
     "\x82\x70\x82\x95\x82\x89\x82\x82_ver_2.004_\x90\xBB\x8D\xEC.\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A"},
    {"1000 1002 1006 1010", OPT_SPACES | OPT_LETTERS | OPT_WIDTH_KEEP | OPT_CASE_UPPER, // ＱＵＩＢ_VER_２.004_製作.見本文字
     "\x82\x70\x82\x74\x82\x68\x82\x61_VER_\x82\x51.004_\x90\xBB\x8D\xEC.\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A"},
    {"1000 1002 1007 1011", OPT_SPACES | OPT_LETTERS | OPT_LETTERS_TO_FULL | OPT_CASE_LOWER, // ｑｕｉｂ_ｖｅｒ_２.004_製作.見本文字
     "\x82\x91\x82\x95\x82\x89\x82\x82_\x82\x96\x82\x85\x82\x92_\x82\x51.004_\x90\xBB\x8D\xEC.\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A"},
    {"1000 1002 1008 1012", OPT_SPACES | OPT_LETTERS | OPT_LETTERS_TO_HALF | OPT_CASE_CAPITALIZE, // Quib_Ver_２.004_製作.見本文字
     "Quib_Ver_\x82\x51.004_\x90\xBB\x8D\xEC.\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A"},
    {"1002 1006 1009", OPT_LETTERS | OPT_WIDTH_KEEP | OPT_CASE_KEEP, SAMPLE},
    {"1002, no width choice", OPT_LETTERS | OPT_CASE_UPPER, SAMPLE},
    {"1002 1007, keep case", OPT_LETTERS | OPT_LETTERS_TO_FULL | OPT_CASE_KEEP, // Ｑｕｉｂ ｖｅｒ ２.004　製作.見本文字
     "\x82\x70\x82\x95\x82\x89\x82\x82 \x82\x96\x82\x85\x82\x92 \x82\x51.004\x81\x40\x90\xBB\x8D\xEC.\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A"},
    {"the widest: 1001 1004 1002 1007", OPT_DIGITS | OPT_DIGITS_TO_FULL | OPT_LETTERS | OPT_LETTERS_TO_FULL, // Ｑｕｉｂ ｖｅｒ ２.００４　製作.見本文字 (40 bytes)
     "\x82\x70\x82\x95\x82\x89\x82\x82 \x82\x96\x82\x85\x82\x92 \x82\x51.\x82\x4F\x82\x4F\x82\x53\x81\x40\x90\xBB\x8D\xEC.\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A"},

    // Checked children under an unchecked parent do nothing.
    {"1004 without 1001", OPT_SPACES | OPT_DIGITS_TO_FULL, UNDERBARS},
    {"1005 without 1001", OPT_DIGITS_TO_HALF, SAMPLE},
    {"1007 1010 without 1002", OPT_SPACES | OPT_LETTERS_TO_FULL | OPT_CASE_UPPER, UNDERBARS},
    {"1008 1012 without 1002", OPT_LETTERS_TO_HALF | OPT_CASE_CAPITALIZE, SAMPLE},
    {"every child, no parent", OPT_ALL & ~(OPT_SPACES | OPT_DIGITS | OPT_LETTERS), SAMPLE},
    {"every child, 1000 only", OPT_ALL & ~(OPT_DIGITS | OPT_LETTERS), UNDERBARS},
    // The sample is a name, not a folder.
    {"1000 1034", OPT_SPACES | OPT_FOLDER_CONTENTS, UNDERBARS},
    {"1034 alone", OPT_FOLDER_CONTENTS, SAMPLE},

    // A saved word with two buttons of a group checked runs both, in order.
    {"every bit", OPT_ALL, // Quib_Ver_2.004_製作.見本文字
     "Quib_Ver_2.004_\x90\xBB\x8D\xEC.\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A"},
};

// ﾃﾞｰﾀ ハ゛ックアップ, the second pair's sample, and what the katakana
// buttons make of it. The first sample holds no kana: they leave it alone.
const char KANA_SAMPLE[] =
    "\xC3\xDE\xB0\xC0 \x83\x6E\x81\x4A\x83\x62\x83\x4E\x83\x41\x83\x62\x83\x76";
// ハ゛ックアップ and バックアップ, with the blank as it was or as an underbar.
#define BACKUP_APART "\x83\x6E\x81\x4A\x83\x62\x83\x4E\x83\x41\x83\x62\x83\x76"
#define BACKUP_JOINED "\x83\x6F\x83\x62\x83\x4E\x83\x41\x83\x62\x83\x76"
#define BACKUP_HALF "\xCA\xDE\xAF\xB8\xB1\xAF\xCC\xDF"
#define DATA_FULL "\x83\x66\x81\x5B\x83\x5E"
#define DATA_HALF "\xC3\xDE\xB0\xC0"

std::string KanaPreview(SettingsWord buttons)
{
    char buffer[PREVIEW_BUFFER_SIZE];
    EXPECT_TRUE(MakeKanaPreview(buttons, buffer));
    return buffer;
}

const PreviewCase KANA_PREVIEW_CASES[] = {
    {"nothing", 0, KANA_SAMPLE},
    {"305, today's default", 305, DATA_HALF "_" BACKUP_APART},
    {"1030 1031", OPT_KANA | OPT_KANA_TO_FULL, DATA_FULL " " BACKUP_APART},
    {"1000 1030 1031 1033", OPT_SPACES | OPT_KANA | OPT_KANA_TO_FULL | OPT_JOIN_MARKS,
     DATA_FULL "_" BACKUP_JOINED},
    {"1030 1032", OPT_KANA | OPT_KANA_TO_HALF, DATA_HALF " " BACKUP_HALF},
    {"1030 1032 1033", OPT_KANA | OPT_KANA_TO_HALF | OPT_JOIN_MARKS, DATA_HALF " " BACKUP_HALF},
    {"1033", OPT_JOIN_MARKS, DATA_HALF " " BACKUP_JOINED},
    {"1031 without 1030", OPT_KANA_TO_FULL | OPT_SPACES, DATA_HALF "_" BACKUP_APART},
    {"1030 alone", OPT_KANA, KANA_SAMPLE},
};

TEST(Preview, LineAfterForChoicesOfButtons)
{
    for (const PreviewCase& c : PREVIEW_CASES) {
        SCOPED_TRACE(c.buttons);
        EXPECT_EQ(Preview(c.word), c.after);
    }
    for (const PreviewCase& c : KANA_PREVIEW_CASES) {
        SCOPED_TRACE(c.buttons);
        EXPECT_EQ(KanaPreview(c.word), c.after);
        // The first pair is as it was without the katakana buttons.
        EXPECT_EQ(Preview(c.word), Preview(c.word & 0xFFF));
    }
}

TEST(Preview, SampleIsTheFixedText)
{
    EXPECT_STREQ(PREVIEW_SAMPLE, SAMPLE);
    EXPECT_EQ(strlen(PREVIEW_SAMPLE), 34u);
    EXPECT_STREQ(KANA_PREVIEW_SAMPLE, KANA_SAMPLE);
}

TEST(Preview, AlwaysFitsTheBuffer)
{
    // Every word, including those no dialog can make: at most 40 bytes of
    // text, and the buffer past them still holds the zero fill (shrinking
    // conversions may leave old bytes only before byte 35).
    for (SettingsWord word = 0; word <= OPT_ALL; word++) {
        SCOPED_TRACE(word);
        char buffer[PREVIEW_BUFFER_SIZE];
        memset(buffer, 0xAA, sizeof(buffer));
        ASSERT_TRUE(MakePreview(word, buffer));
        size_t length = strlen(buffer);
        ASSERT_LE(length, 40u);
        for (size_t i = length > 34 ? length : 34; i < sizeof(buffer); i++)
            ASSERT_EQ(buffer[i], '\0') << "byte " << i;
        // The katakana sample grows by two bytes at most (ﾃﾞｰﾀ to データ).
        memset(buffer, 0xAA, sizeof(buffer));
        ASSERT_TRUE(MakeKanaPreview(word, buffer));
        length = strlen(buffer);
        ASSERT_LE(length, 21u);
        for (size_t i = length > 19 ? length : 19; i < sizeof(buffer); i++)
            ASSERT_EQ(buffer[i], '\0') << "byte " << i;
    }
}

TEST(Preview, ChildrenCountOnlyUnderTheirParent)
{
    const SettingsWord digitChildren = OPT_DIGITS_TO_FULL | OPT_DIGITS_TO_HALF;
    const SettingsWord letterChildren = 0xFFF & ~(OPT_SPACES | OPT_DIGITS | OPT_LETTERS | digitChildren);
    const SettingsWord kanaChildren = OPT_KANA_TO_FULL | OPT_KANA_TO_HALF;
    for (SettingsWord word = 0; word <= OPT_ALL; word++) {
        SettingsWord effective = word;
        if (!(word & OPT_DIGITS))
            effective &= ~digitChildren;
        if (!(word & OPT_LETTERS))
            effective &= ~letterChildren;
        if (!(word & OPT_KANA))
            effective &= ~kanaChildren;
        if (effective == word)
            continue;
        SCOPED_TRACE(word);
        ASSERT_EQ(Preview(word), Preview(effective));
        ASSERT_EQ(KanaPreview(word), KanaPreview(effective));
    }
}

TEST(Preview, EnabledButtons)
{
    const SettingsWord parents =
        OPT_SPACES | OPT_DIGITS | OPT_LETTERS | OPT_KANA | OPT_JOIN_MARKS | OPT_FOLDER_CONTENTS | OPT_CONFIRM;
    const SettingsWord kanaChildren = OPT_KANA_TO_FULL | OPT_KANA_TO_HALF;
    const SettingsWord digitChildren = OPT_DIGITS_TO_FULL | OPT_DIGITS_TO_HALF;
    const SettingsWord letterChildren = OPT_WIDTH_KEEP | OPT_LETTERS_TO_FULL | OPT_LETTERS_TO_HALF |
                                        OPT_CASE_KEEP | OPT_CASE_UPPER | OPT_CASE_LOWER | OPT_CASE_CAPITALIZE;
    struct {
        const char* name;
        SettingsWord buttons;
        SettingsWord enabled;
    } const cases[] = {
        {"nothing", 0, parents},
        {"1000", OPT_SPACES, parents},
        {"1001", OPT_DIGITS, parents | digitChildren},
        {"1002", OPT_LETTERS, parents | letterChildren},
        {"1001 1002", OPT_DIGITS | OPT_LETTERS, OPT_ALL & ~kanaChildren},
        {"1030", OPT_KANA, parents | kanaChildren},
        {"1031 1032 without 1030", kanaChildren, parents},
        {"1033", OPT_JOIN_MARKS, parents},
        {"1034", OPT_FOLDER_CONTENTS, parents},
        {"1035", OPT_CONFIRM, parents},
        {"1001 1002 1030", OPT_DIGITS | OPT_LETTERS | OPT_KANA, OPT_ALL},
        {"children only", OPT_ALL & ~parents, parents},
        {"all", OPT_ALL, OPT_ALL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EnabledOptions(c.buttons), c.enabled);
    }
}

} // namespace

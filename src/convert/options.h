// The settings word: every user choice as one integer, one bit per dialog
// button. The pipeline takes it as an argument; where it is kept is no
// business of the conversions.
#pragma once

typedef int SettingsWord;

enum : SettingsWord {
    OPT_SPACES          = 0x001, // blanks to underbars
    OPT_DIGITS          = 0x002, // operate on digits (enables the two below)
    OPT_LETTERS         = 0x004, // operate on letters (enables 0x020-0x800)
    OPT_DIGITS_TO_FULL  = 0x008,
    OPT_DIGITS_TO_HALF  = 0x010,
    OPT_WIDTH_KEEP      = 0x020,
    OPT_LETTERS_TO_FULL = 0x040,
    OPT_LETTERS_TO_HALF = 0x080,
    OPT_CASE_KEEP       = 0x100,
    OPT_CASE_UPPER      = 0x200,
    OPT_CASE_LOWER      = 0x400,
    OPT_CASE_CAPITALIZE = 0x800,
    OPT_KANA            = 0x1000, // operate on katakana (enables the two below)
    OPT_KANA_TO_FULL    = 0x2000,
    OPT_KANA_TO_HALF    = 0x4000,
    OPT_JOIN_MARKS      = 0x8000, // join separated voiced and semi-voiced marks
    OPT_FOLDER_CONTENTS = 0x10000, // a dropped folder's whole tree, not its name alone
    OPT_CONFIRM         = 0x20000, // a batch shows its list and waits for 変換する
};

// The bits a name's conversion reads; the others say what a batch renames.
constexpr SettingsWord OPT_CONVERSIONS = 0xFFFF;
// Only bits 0-17 mean anything; higher bits in a file are ignored.
constexpr SettingsWord OPT_ALL = 0x3FFFF;

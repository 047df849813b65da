// The dialog's option buttons, one per bit of the settings word. Showing the
// saved word, reading the buttons back and the preview all go through this
// one table, so a button can never stand for two different bits.
#pragma once

#include "resource.h"
#include "settings/settings.h"

struct OptionButton {
    SettingsWord bit;
    int id;
};

inline constexpr OptionButton OPTION_BUTTONS[] = {
    {OPT_SPACES, IDC_SPACES},
    {OPT_DIGITS, IDC_DIGITS},
    {OPT_LETTERS, IDC_LETTERS},
    {OPT_DIGITS_TO_FULL, IDC_DIGITS_TO_FULL},
    {OPT_DIGITS_TO_HALF, IDC_DIGITS_TO_HALF},
    {OPT_WIDTH_KEEP, IDC_WIDTH_KEEP},
    {OPT_LETTERS_TO_FULL, IDC_LETTERS_TO_FULL},
    {OPT_LETTERS_TO_HALF, IDC_LETTERS_TO_HALF},
    {OPT_CASE_KEEP, IDC_CASE_KEEP},
    {OPT_CASE_UPPER, IDC_CASE_UPPER},
    {OPT_CASE_LOWER, IDC_CASE_LOWER},
    {OPT_CASE_CAPITALIZE, IDC_CASE_CAPITALIZE},
    {OPT_KANA, IDC_KANA},
    {OPT_KANA_TO_FULL, IDC_KANA_TO_FULL},
    {OPT_KANA_TO_HALF, IDC_KANA_TO_HALF},
    {OPT_JOIN_MARKS, IDC_JOIN_MARKS},
    {OPT_FOLDER_CONTENTS, IDC_FOLDER_CONTENTS},
    {OPT_CONFIRM, IDC_CONFIRM},
};

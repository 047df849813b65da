#include "ui/preview.h"

#include <cstring>

#include "convert/pipeline.h"

const char PREVIEW_SAMPLE[] =
    "\x82\x70\x82\x95\x82\x89\x82\x82" " ver " "\x82\x51" ".004" "\x81\x40"
    "\x90\xBB\x8D\xEC" "." "\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A";

static_assert(sizeof(PREVIEW_SAMPLE) == 35, "the sample is 34 bytes");

const char KANA_PREVIEW_SAMPLE[] =
    "\xC3\xDE\xB0\xC0" " " "\x83\x6E\x81\x4A\x83\x62\x83\x4E\x83\x41\x83\x62\x83\x76";

static_assert(sizeof(KANA_PREVIEW_SAMPLE) == 20, "the katakana sample is 19 bytes");

static const SettingsWord DIGIT_CHOICES = OPT_DIGITS_TO_FULL | OPT_DIGITS_TO_HALF;
static const SettingsWord LETTER_CHOICES = OPT_WIDTH_KEEP | OPT_LETTERS_TO_FULL |
    OPT_LETTERS_TO_HALF | OPT_CASE_KEEP | OPT_CASE_UPPER | OPT_CASE_LOWER |
    OPT_CASE_CAPITALIZE;

static const SettingsWord KANA_CHOICES = OPT_KANA_TO_FULL | OPT_KANA_TO_HALF;

static bool Convert(SettingsWord buttons, const char* sample, size_t size, char* buffer)
{
    memset(buffer, 0, PREVIEW_BUFFER_SIZE);
    memcpy(buffer, sample, size);
    if (ConvertNameWithWord(buttons, buffer, PREVIEW_BUFFER_SIZE))
        return true;
    memset(buffer, 0, PREVIEW_BUFFER_SIZE);
    memcpy(buffer, sample, size);
    return false;
}

bool MakePreview(SettingsWord buttons, char* buffer)
{
    return Convert(buttons, PREVIEW_SAMPLE, sizeof(PREVIEW_SAMPLE), buffer);
}

bool MakeKanaPreview(SettingsWord buttons, char* buffer)
{
    return Convert(buttons, KANA_PREVIEW_SAMPLE, sizeof(KANA_PREVIEW_SAMPLE), buffer);
}

SettingsWord EnabledOptions(SettingsWord buttons)
{
    SettingsWord enabled =
        OPT_SPACES | OPT_DIGITS | OPT_LETTERS | OPT_KANA | OPT_JOIN_MARKS | OPT_FOLDER_CONTENTS | OPT_CONFIRM;
    if (buttons & OPT_DIGITS)
        enabled |= DIGIT_CHOICES;
    if (buttons & OPT_LETTERS)
        enabled |= LETTER_CHOICES;
    if (buttons & OPT_KANA)
        enabled |= KANA_CHOICES;
    return enabled;
}

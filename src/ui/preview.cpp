#include "ui/preview.h"

#include <cstring>

#include "convert/pipeline.h"

const char PREVIEW_SAMPLE[] =
    "\x82\x70\x82\x95\x82\x89\x82\x82" " ver " "\x82\x51" ".004" "\x81\x40"
    "\x90\xBB\x8D\xEC" "." "\x8C\xA9\x96\x7B\x95\xB6\x8E\x9A";

static_assert(sizeof(PREVIEW_SAMPLE) == 35, "the sample is 34 bytes");

static const SettingsWord DIGIT_CHOICES = OPT_DIGITS_TO_FULL | OPT_DIGITS_TO_HALF;
static const SettingsWord LETTER_CHOICES = OPT_WIDTH_KEEP | OPT_LETTERS_TO_FULL |
    OPT_LETTERS_TO_HALF | OPT_CASE_KEEP | OPT_CASE_UPPER | OPT_CASE_LOWER |
    OPT_CASE_CAPITALIZE;

bool MakePreview(SettingsWord buttons, char* buffer)
{
    memset(buffer, 0, PREVIEW_BUFFER_SIZE);
    memcpy(buffer, PREVIEW_SAMPLE, sizeof(PREVIEW_SAMPLE));
    if (ConvertNameWithWord(buttons, buffer, PREVIEW_BUFFER_SIZE))
        return true;
    memset(buffer, 0, PREVIEW_BUFFER_SIZE);
    memcpy(buffer, PREVIEW_SAMPLE, sizeof(PREVIEW_SAMPLE));
    return false;
}

SettingsWord EnabledOptions(SettingsWord buttons)
{
    SettingsWord enabled = OPT_SPACES | OPT_DIGITS | OPT_LETTERS;
    if (buttons & OPT_DIGITS)
        enabled |= DIGIT_CHOICES;
    if (buttons & OPT_LETTERS)
        enabled |= LETTER_CHOICES;
    return enabled;
}

#include "convert/pipeline.h"

#include "convert/convert.h"

bool ConvertNameWithWord(SettingsWord word, char* name, size_t capacity)
{
    if (word & OPT_SPACES)
        SpacesToUnderbar(name);

    if (word & OPT_DIGITS) {
        if ((word & OPT_DIGITS_TO_FULL) && !DigitsToFullWidth(name, capacity))
            return false;
        if (word & OPT_DIGITS_TO_HALF)
            DigitsToHalfWidth(name);
    }

    if (word & OPT_LETTERS) {
        const bool upper = (word & OPT_CASE_UPPER) != 0;
        const bool lower = (word & OPT_CASE_LOWER) != 0;
        const bool capitalize = (word & OPT_CASE_CAPITALIZE) != 0;
        // The three width bits are tested on their own, and the case step
        // follows each one that is set.
        if (word & OPT_WIDTH_KEEP)
            ApplyCaseOptions(name, upper, lower, capitalize);
        if (word & OPT_LETTERS_TO_FULL) {
            if (!LettersToFullWidth(name, capacity))
                return false;
            ApplyCaseOptions(name, upper, lower, capitalize);
        }
        if (word & OPT_LETTERS_TO_HALF) {
            LettersToHalfWidth(name);
            ApplyCaseOptions(name, upper, lower, capitalize);
        }
    }
    return true;
}

bool ConvertName(const char*, char* baseName)
{
    return ConvertNameWithWord(LoadSettings(), baseName, NAME_BUFFER_SIZE);
}

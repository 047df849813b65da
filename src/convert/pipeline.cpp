#include "convert/pipeline.h"

#include "convert/convert.h"
#include "convert/kana.h"

namespace {

// The steps over spaces, digits and letters, each in turn. A widening step
// fails when its own result would not fit, even if a later step would have
// shrunk the name again.
bool ConvertStepByStep(SettingsWord word, char* name, size_t capacity)
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
        // The case step follows each width bit that is set.
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

}  // namespace

bool ConvertNameWithWord(SettingsWord word, char* name, size_t capacity)
{
    if (word & OPT_JOIN_MARKS)
        JoinSpacingMarks(name);

    const bool digits = (word & OPT_DIGITS) != 0;
    const bool letters = (word & OPT_LETTERS) != 0;
    if ((digits && (word & OPT_DIGITS_TO_FULL)) || (letters && (word & OPT_LETTERS_TO_FULL))) {
        if (!ConvertStepByStep(word, name, capacity))
            return false;
    } else {
        const bool caseStep = letters && (word & (OPT_WIDTH_KEEP | OPT_LETTERS_TO_HALF));
        NarrowWidthsAndCase(name, (word & OPT_SPACES) != 0, digits && (word & OPT_DIGITS_TO_HALF),
                            letters && (word & OPT_LETTERS_TO_HALF),
                            caseStep && (word & OPT_CASE_UPPER), caseStep && (word & OPT_CASE_LOWER),
                            caseStep && (word & OPT_CASE_CAPITALIZE));
    }

    if (word & OPT_KANA) {
        if ((word & OPT_KANA_TO_FULL) && !KatakanaToFullWidth(name, capacity))
            return false;
        if (word & OPT_KANA_TO_HALF)
            KatakanaToHalfWidth(name);
    }
    return true;
}

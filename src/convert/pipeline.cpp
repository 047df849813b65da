#include "convert/pipeline.h"

#include <cstring>

#include "convert/charmap.h"

// The pipeline converts in this order: spaces; digits to full width, then to
// half width; then for each of keep-width, to-full and to-half that is set,
// that width conversion followed by the case step. Its result is computed
// here in one walk, from what the whole sequence does to each character:
// - a later width conversion of the same characters overrides an earlier
//   one (to full then to half leaves every digit half-width);
// - each case step decides every letter's case by itself, so only the last
//   one counts, applied after the last width conversion.
// What the sequence cannot do in one walk is fail half-way: a widening step
// fails when its own result would not fit, even if a later step would have
// shrunk the name again. SequenceFits replays the lengths step by step.

namespace {

CharMap MapForWord(SettingsWord word)
{
    CharMap map = {(word & OPT_SPACES) != 0, WIDTH_SAME, WIDTH_SAME, CASE_SAME};
    if (word & OPT_DIGITS) {
        if (word & OPT_DIGITS_TO_HALF)
            map.digits = WIDTH_HALF;
        else if (word & OPT_DIGITS_TO_FULL)
            map.digits = WIDTH_FULL;
    }
    if ((word & OPT_LETTERS) &&
        (word & (OPT_WIDTH_KEEP | OPT_LETTERS_TO_FULL | OPT_LETTERS_TO_HALF))) {
        if (word & OPT_LETTERS_TO_HALF)
            map.letters = WIDTH_HALF;
        else if (word & OPT_LETTERS_TO_FULL)
            map.letters = WIDTH_FULL;
        map.letterCase = CaseFromOptions((word & OPT_CASE_UPPER) != 0, (word & OPT_CASE_LOWER) != 0,
                                         (word & OPT_CASE_CAPITALIZE) != 0);
    }
    return map;
}

bool SequenceFits(SettingsWord word, CharCounts counts, size_t capacity)
{
    size_t length = counts.length;
    if (word & OPT_SPACES)
        length -= counts.ideographicSpaces;
    if (word & OPT_DIGITS) {
        if (word & OPT_DIGITS_TO_FULL) {
            length += counts.halfDigits;
            if (length + 1 > capacity)
                return false;
            counts.fullDigits += counts.halfDigits;
        }
        if (word & OPT_DIGITS_TO_HALF)
            length -= counts.fullDigits;
    }
    if ((word & OPT_LETTERS) && (word & OPT_LETTERS_TO_FULL)) {
        length += counts.halfLetters;
        if (length + 1 > capacity)
            return false;
    }
    return true;
}

}  // namespace

bool ConvertNameWithWord(SettingsWord word, char* name, size_t capacity)
{
    const CharMap map = MapForWord(word);
    const bool widens = ((word & OPT_DIGITS) && (word & OPT_DIGITS_TO_FULL)) ||
                        ((word & OPT_LETTERS) && (word & OPT_LETTERS_TO_FULL));
    if (!widens)
        return ApplyCharMap(name, capacity, map);

    // No step more than doubles a name, so one of at most half the buffer
    // always fits.
    const size_t length = strlen(name);
    const bool surelyFits = 2 * length + 1 <= capacity;
    if (!surelyFits && !Widens(map)) {
        // Every widening step is undone by a later one: convert, counting the
        // name as it was, then replay the lengths. On failure the name is
        // converted already, which the caller must ignore anyway.
        return SequenceFits(word, ApplyNarrowingCharMap(name, map), capacity);
    }
    if (!surelyFits && length + GrowthBound(name, length) + 1 > capacity &&
        !SequenceFits(word, CountChars(name), capacity))
        return false;
    return ApplyCharMap(name, capacity, map);
}


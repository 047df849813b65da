#include "convert/pipeline.h"

#include <cstring>

#include "convert/charmap.h"
#include "convert/kana.h"

// The pipeline converts in this order: spacing marks joined; spaces; digits to full width, then to
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
// The katakana steps come last, each on its own walk: no other step touches
// a kana, and none of them cares what a kana became.

namespace {

// The bits of the one walk over spaces, digits and letters.
constexpr SettingsWord WIDTH_AND_CASE_BITS = 0xFFF;

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

// ConvertNameWithWord for a word with a widening step, which may fail.
bool ConvertWidening(SettingsWord word, const MapWalk& walk, char* name, size_t length,
                     size_t capacity)
{
    // No step more than doubles a name, so one of at most half the buffer
    // always fits.
    const bool surelyFits = 2 * length + 1 <= capacity;
    if (!surelyFits && !walk.widens) {
        // Every widening step is undone by a later one: convert, counting the
        // name as it was, then replay the lengths. On failure the name is
        // converted already, which the caller must ignore anyway.
        return SequenceFits(word, ApplyNarrowingCharMap(name, length, walk.map), capacity);
    }
    if (!surelyFits && length + GrowthBound(name, length) + 1 > capacity &&
        !SequenceFits(word, CountChars(name), capacity))
        return false;
    return ApplyCharMap(name, length, capacity, walk);
}

// What the pipeline needs of a word, worked out once for each new word: the
// program converts many names under one, on one thread. Only bits 0-11
// count here, so the key is the word without the others, and -1, the key
// before the first call, is no such word.
struct WordPlan {
    SettingsWord key;
    bool stepWidens;  // some step widens, so the lengths must be checked
    bool changesNothing;  // the walk would copy every name as it is
    MapWalk walk;
};

WordPlan g_lastPlan = {-1, false, false, {}};

const WordPlan& PlanFor(SettingsWord word)
{
    const SettingsWord key = word & WIDTH_AND_CASE_BITS;
    if (g_lastPlan.key != key) {
        const CharMap map = MapForWord(key);
        g_lastPlan.walk = MapWalkFor(map);
        g_lastPlan.changesNothing = !map.spaces && map.digits == WIDTH_SAME &&
                                    map.letters == WIDTH_SAME && map.letterCase == CASE_SAME;
        g_lastPlan.stepWidens = ((key & OPT_DIGITS) && (key & OPT_DIGITS_TO_FULL)) ||
                                ((key & OPT_LETTERS) && (key & OPT_LETTERS_TO_FULL));
        g_lastPlan.key = key;
    }
    return g_lastPlan;
}

}  // namespace

namespace {

bool ConvertWidthsAndCase(SettingsWord word, char* name, size_t capacity)
{
    const WordPlan& plan = PlanFor(word);
    if (plan.changesNothing)
        return true;
    const size_t length = strlen(name);
    if (plan.stepWidens)
        return ConvertWidening(word, plan.walk, name, length, capacity);
    return ApplyCharMap(name, length, capacity, plan.walk);
}

}  // namespace

bool ConvertNameWithWord(SettingsWord word, char* name, size_t capacity)
{
    if (word & OPT_JOIN_MARKS)
        JoinSpacingMarks(name);
    if (!ConvertWidthsAndCase(word, name, capacity))
        return false;
    if (word & OPT_KANA) {
        if ((word & OPT_KANA_TO_FULL) && !KatakanaToFullWidth(name, capacity))
            return false;
        if (word & OPT_KANA_TO_HALF)
            KatakanaToHalfWidth(name);
    }
    return true;
}

#include "convert/nfc.h"

namespace {

struct CombiningClassRun {
    unsigned first, last, combiningClass;
};
struct Decomposition {
    unsigned codePoint, start, length;
};
struct Composite {
    unsigned first, second, composed;
};

#include "convert/nfc_table.inc"

// Hangul syllables: SBASE + (L * VCOUNT + V) * TCOUNT + T.
constexpr unsigned SBASE = 0xAC00, LBASE = 0x1100, VBASE = 0x1161, TBASE = 0x11A7;
constexpr unsigned LCOUNT = 19, VCOUNT = 21, TCOUNT = 28, SCOUNT = LCOUNT * VCOUNT * TCOUNT;

// The longest full canonical decomposition of one code point (ᾂ is α and
// three marks); a Hangul syllable takes three.
constexpr size_t LONGEST_DECOMPOSITION = 4;

template <typename Entry, typename Less>
const Entry* Find(const Entry* first, size_t count, Less less)
{
    // The first entry not less than the key.
    while (count > 0) {
        const size_t half = count / 2;
        if (less(first[half])) {
            first += half + 1;
            count -= half + 1;
        } else {
            count = half;
        }
    }
    return first;
}

template <typename Entry, size_t N>
constexpr size_t CountOf(const Entry (&)[N])
{
    return N;
}

// Appends the full canonical decomposition of cp to points; returns the
// new count.
size_t Decompose(unsigned cp, unsigned* points, size_t count)
{
    if (cp >= SBASE && cp < SBASE + SCOUNT) {
        const unsigned index = cp - SBASE;
        points[count++] = LBASE + index / (VCOUNT * TCOUNT);
        points[count++] = VBASE + index % (VCOUNT * TCOUNT) / TCOUNT;
        if (index % TCOUNT != 0)
            points[count++] = TBASE + index % TCOUNT;
        return count;
    }
    const Decomposition* found = Find(DECOMPOSITIONS, CountOf(DECOMPOSITIONS),
                                      [cp](const Decomposition& d) { return d.codePoint < cp; });
    if (found == DECOMPOSITIONS + CountOf(DECOMPOSITIONS) || found->codePoint != cp) {
        points[count++] = cp;
        return count;
    }
    for (unsigned i = 0; i < found->length; ++i)
        points[count++] = DECOMPOSED[found->start + i];
    return count;
}

// The primary composite of first and second, 0 when there is none.
unsigned Compose(unsigned first, unsigned second)
{
    if (first >= LBASE && first < LBASE + LCOUNT && second >= VBASE && second < VBASE + VCOUNT)
        return SBASE + ((first - LBASE) * VCOUNT + second - VBASE) * TCOUNT;
    if (first >= SBASE && first < SBASE + SCOUNT && (first - SBASE) % TCOUNT == 0 && second > TBASE &&
        second < TBASE + TCOUNT)
        return first + second - TBASE;
    const Composite* found =
        Find(COMPOSITES, CountOf(COMPOSITES), [first, second](const Composite& c) {
            return c.first < first || (c.first == first && c.second < second);
        });
    if (found == COMPOSITES + CountOf(COMPOSITES) || found->first != first || found->second != second)
        return 0;
    return found->composed;
}

bool IsHigh(WideChar unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLow(WideChar unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

} // namespace

unsigned CombiningClassOf(unsigned codePoint)
{
    const CombiningClassRun* run = Find(COMBINING_CLASSES, CountOf(COMBINING_CLASSES),
                                        [codePoint](const CombiningClassRun& r) { return r.last < codePoint; });
    if (run == COMBINING_CLASSES + CountOf(COMBINING_CLASSES) || run->first > codePoint)
        return 0;
    return run->combiningClass;
}

size_t ComposeNfc(const WideChar* units, size_t count, WideChar* out, size_t capacity)
{
    if (count == 0 || count > MAX_NAME_UNITS)
        return 0;
    unsigned points[MAX_NAME_UNITS * LONGEST_DECOMPOSITION];
    unsigned classes[MAX_NAME_UNITS * LONGEST_DECOMPOSITION];
    size_t n = 0;
    for (size_t i = 0; i < count; ++i) {
        unsigned cp = static_cast<unsigned>(units[i]);
        if (IsHigh(units[i]) && i + 1 < count && IsLow(units[i + 1])) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<unsigned>(units[i + 1]) - 0xDC00);
            ++i;
        } else if (IsHigh(units[i]) || IsLow(units[i])) {
            return 0;
        }
        n = Decompose(cp, points, n);
    }
    // Canonical order: each run of non-starters sorted by class, keeping
    // the order of equal classes (an insertion sort; runs are short).
    for (size_t i = 0; i < n; ++i)
        classes[i] = CombiningClassOf(points[i]);
    for (size_t i = 1; i < n; ++i) {
        for (size_t k = i; k > 0 && classes[k] != 0 && classes[k - 1] > classes[k]; --k) {
            const unsigned point = points[k], cls = classes[k];
            points[k] = points[k - 1];
            classes[k] = classes[k - 1];
            points[k - 1] = point;
            classes[k - 1] = cls;
        }
    }
    // Composition: each character joins the last starter unless something
    // between them blocks it, a kept character of the same or a higher
    // class, or any kept starter. Composing in place never writes ahead of
    // reading.
    size_t starter = 0;
    // 256: a text that starts with a non-starter composes nothing until a
    // starter comes.
    unsigned lastClass = classes[0] == 0 ? 0 : 256;
    size_t kept = 1;
    for (size_t i = 1; i < n; ++i) {
        const unsigned cls = classes[i];
        const unsigned composed = Compose(points[starter], points[i]);
        if (composed != 0 && (lastClass < cls || lastClass == 0)) {
            points[starter] = composed;
            continue;
        }
        if (cls == 0)
            starter = kept;
        lastClass = cls;
        points[kept++] = points[i];
    }
    size_t made = 0;
    for (size_t i = 0; i < kept; ++i) {
        const unsigned cp = points[i];
        const size_t need = cp >= 0x10000 ? 2 : 1;
        if (made + need > capacity)
            return 0;
        if (need == 2) {
            out[made++] = static_cast<WideChar>(0xD800 + ((cp - 0x10000) >> 10));
            out[made++] = static_cast<WideChar>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out[made++] = static_cast<WideChar>(cp);
        }
    }
    return made;
}

#include "app/combining_marks.h"

namespace {

bool IsHighSurrogate(WideChar unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(WideChar unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

} // namespace

bool IsCombiningMark(WideChar unit)
{
    return (unit >= 0x0300 && unit <= 0x036F) || (unit >= 0x1AB0 && unit <= 0x1AFF) ||
           (unit >= 0x1DC0 && unit <= 0x1DFF) || (unit >= 0x20D0 && unit <= 0x20FF) ||
           (unit >= 0xFE20 && unit <= 0xFE2F) || unit == 0x3099 || unit == 0x309A;
}

size_t JoinCombiningMarks(WideChar* text, size_t length, Normalizer normalize)
{
    size_t read = 0;
    size_t write = 0;
    while (read < length) {
        const size_t baseLength =
            IsHighSurrogate(text[read]) && read + 1 < length && IsLowSurrogate(text[read + 1]) ? 2 : 1;
        size_t end = read + baseLength;
        while (end < length && IsCombiningMark(text[end]))
            ++end;
        // A mark with no base before it stays, and so do the marks after it.
        if (end > read + baseLength && !IsCombiningMark(text[read])) {
            WideChar composed[MAX_NAME_UNITS + 1];
            const size_t count = end - read;
            const size_t made = count <= MAX_NAME_UNITS ? normalize(text + read, count, composed, count) : 0;
            if (made > 0 && made <= count) {
                for (size_t i = 0; i < made; ++i)
                    text[write++] = composed[i];
                read = end;
                continue;
            }
        }
        while (read < end)
            text[write++] = text[read++];
    }
    return write;
}

NameResult ConvertJoinedName(SettingsWord word, const WideChar* name, size_t length, const Cp932Codec& codec,
                             Normalizer normalize, WideChar* out)
{
    if (!(word & OPT_JOIN_MARKS) || length > MAX_NAME_UNITS)
        return ConvertWideName(word, name, length, codec, out);

    // The extension is kept as it is, like every other conversion keeps it.
    size_t dot = length;
    for (size_t i = 0; i < length; ++i) {
        if (name[i] == '.')
            dot = i;
    }
    WideName joined;
    for (size_t i = 0; i < length; ++i)
        joined[i] = name[i];
    const size_t baseLength = JoinCombiningMarks(joined, dot, normalize);
    size_t joinedLength = baseLength;
    for (size_t i = dot; i < length; ++i)
        joined[joinedLength++] = name[i];
    joined[joinedLength] = 0;

    const NameResult result = ConvertWideName(word, joined, joinedLength, codec, out);
    if (result != NAME_UNCHANGED)
        return result;
    bool same = joinedLength == length;
    for (size_t i = 0; same && i < length; ++i)
        same = joined[i] == name[i];
    if (same)
        return NAME_UNCHANGED;
    for (size_t i = 0; i <= joinedLength; ++i)
        out[i] = joined[i];
    return NAME_CONVERTED;
}

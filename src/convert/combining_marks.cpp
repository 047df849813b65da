#include "convert/combining_marks.h"

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

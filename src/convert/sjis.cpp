#include "convert/sjis.h"

size_t FindLastSeparator(const char* path)
{
    // A backward search cannot tell a trail byte 0x5C from a separator
    // without knowing where characters start, so walk forward instead.
    const unsigned char* p = reinterpret_cast<const unsigned char*>(path);
    size_t last = NO_SEPARATOR;
    size_t i = 0;
    while (p[i] != 0) {
        if (p[i] == '\\' || p[i] == '/')
            last = i;
        i += CharLength(p + i);
    }
    return last;
}

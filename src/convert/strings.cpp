#include "convert/strings.h"

#include <cstring>

bool JoinStrings(char* out, size_t size, std::initializer_list<const char*> parts)
{
    size_t length = 0;
    for (const char* part : parts) {
        size_t partLength = strlen(part);
        if (length + partLength >= size) {
            if (size > 0)
                out[0] = '\0';
            return false;
        }
        memcpy(out + length, part, partLength);
        length += partLength;
    }
    if (size == 0)
        return false;
    out[length] = '\0';
    return true;
}

void FormatDecimal(long long value, char* out)
{
    // Work on the magnitude as unsigned, so the most negative value has one.
    unsigned long long magnitude = static_cast<unsigned long long>(value);
    if (value < 0)
        magnitude = 0ull - magnitude;
    char digits[DECIMAL_BUFFER_SIZE];
    size_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        *out++ = '-';
    while (count > 0)
        *out++ = digits[--count];
    *out = '\0';
}

#include "convert/wide_names.h"

#include "convert/sjis.h"

namespace {

const unsigned char STAND_IN_FIRST_LEAD = 0xF0;
const unsigned char STAND_IN_LAST_LEAD = 0xF9;
const size_t TRAILS_PER_LEAD = 188;

// U+E000-U+E757: what the user-defined area F040-F9FC reads as.
bool IsUserDefinedAreaChar(WideChar unit)
{
    return unit >= 0xE000 && unit <= 0xE757;
}

bool IsHighSurrogate(WideChar unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(WideChar unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

void StandInBytes(size_t index, char* bytes)
{
    const size_t trail = index % TRAILS_PER_LEAD;
    // 40-7E, then 80-FC: 7F is no trail byte.
    bytes[0] = static_cast<char>(STAND_IN_FIRST_LEAD + index / TRAILS_PER_LEAD);
    bytes[1] = static_cast<char>(trail < 0x3F ? 0x40 + trail : 0x80 + (trail - 0x3F));
}

// The table index of the stand-in b1 b2, or STAND_IN_COUNT if it is none.
size_t StandInIndex(unsigned char b1, unsigned char b2)
{
    if (b1 < STAND_IN_FIRST_LEAD || b1 > STAND_IN_LAST_LEAD || b2 < 0x40 || b2 == 0x7F || b2 > 0xFC)
        return STAND_IN_COUNT;
    const size_t trail = b2 < 0x7F ? b2 - 0x40u : b2 - 0x80u + 0x3Fu;
    return (b1 - STAND_IN_FIRST_LEAD) * TRAILS_PER_LEAD + trail;
}

// The stand-in of the outside character units[0, count), added to table
// when it is new. False when the table is full.
bool FindStandIn(const WideChar* units, size_t count, StandIns* table, size_t* index)
{
    for (size_t k = 0; k < table->count; ++k) {
        if (table->length[k] == count && table->units[k][0] == units[0] &&
            (count == 1 || table->units[k][1] == units[1])) {
            *index = k;
            return true;
        }
    }
    if (table->count == STAND_IN_COUNT)
        return false;
    *index = table->count++;
    table->length[*index] = static_cast<unsigned char>(count);
    table->units[*index][0] = units[0];
    table->units[*index][1] = count == 2 ? units[1] : 0;
    return true;
}

// Leaves out empty and reports failure.
bool Fail(char* out, size_t capacity)
{
    if (capacity > 0)
        out[0] = '\0';
    return false;
}

}  // namespace

bool ToCodePage932(const WideChar* wide, size_t length, const Cp932Codec& codec, StandIns* table,
                   char* out, size_t capacity)
{
    size_t at = 0;
    for (size_t i = 0; i < length;) {
        size_t count = 1;
        if (IsHighSurrogate(wide[i]) && i + 1 < length && IsLowSurrogate(wide[i + 1]))
            count = 2;
        char bytes[2];
        size_t size = 0;
        if (wide[i] < 0x80) {
            // Code page 932 keeps ASCII as it is, backslash and tilde included.
            bytes[0] = static_cast<char>(wide[i]);
            size = 1;
        } else if (!IsUserDefinedAreaChar(wide[i])) {
            size = codec.encode(wide + i, count, bytes);
        }
        if (size == 0) {
            size_t index;
            if (!FindStandIn(wide + i, count, table, &index))
                return Fail(out, capacity);
            StandInBytes(index, bytes);
            size = 2;
        }
        if (at + size + 1 > capacity)
            return Fail(out, capacity);
        for (size_t k = 0; k < size; ++k)
            out[at++] = bytes[k];
        i += count;
    }
    if (capacity == 0)
        return false;
    out[at] = '\0';
    return true;
}

bool FromCodePage932(const char* bytes, const Cp932Codec& codec, const StandIns& table,
                     WideChar* out, size_t capacity)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes);
    size_t at = 0;
    for (size_t i = 0; p[i] != 0;) {
        const size_t size = CharLength(p + i);
        const size_t index = size == 2 ? StandInIndex(p[i], p[i + 1]) : STAND_IN_COUNT;
        WideChar units[2];
        size_t count;
        if (p[i] < 0x80) {
            units[0] = p[i];
            count = 1;
        } else if (index != STAND_IN_COUNT) {
            if (index >= table.count)
                return false;
            count = table.length[index];
            units[0] = table.units[index][0];
            units[1] = table.units[index][1];
        } else if ((count = codec.decode(bytes + i, size, units)) == 0) {
            return false;
        }
        if (at + count + 1 > capacity)
            return false;
        for (size_t k = 0; k < count; ++k)
            out[at++] = units[k];
        i += size;
    }
    if (capacity == 0)
        return false;
    out[at] = 0;
    return true;
}

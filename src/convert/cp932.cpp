#include "convert/cp932.h"

namespace {

#include "convert/cp932_table.inc"

constexpr unsigned TRAIL_FIRST = 0x40;
constexpr unsigned TRAIL_COUNT = 0xFC - 0x40 + 1;

bool IsLead(unsigned byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Where a lead's row starts in PAIRS: 81-9F first, then E0-FC.
unsigned RowOfLead(unsigned lead)
{
    return lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + (0x9F - 0x81 + 1);
}

unsigned LeadOfRow(unsigned row)
{
    return row <= 0x9F - 0x81 ? row + 0x81 : row - (0x9F - 0x81 + 1) + 0xE0;
}

// Which of two pairs for one character Windows writes: the lower rank.
int RankOfLead(unsigned lead)
{
    if (lead == 0x87)
        return 1; // NEC row 13: Ⅰ, №, ㈱, ≒ ...
    if (lead >= 0xFA)
        return 2; // IBM extension
    if (lead == 0xED || lead == 0xEE)
        return 3; // the NEC-selected copy of the IBM extension
    return 0;
}

// 0xFFFF: not in the code page (no lead is 0xFF). A single byte b is
// stored as b, a pair as lead * 256 + trail.
constexpr unsigned short NO_BYTES = 0xFFFF;

struct WritingTable {
    unsigned short bytes[0x10000];
};

void MakeWritingTable(WritingTable* table)
{
    for (unsigned short& entry : table->bytes)
        entry = NO_BYTES;
    for (unsigned b = 0; b < 256; ++b) {
        if (SINGLE_BYTES[b] != 0 || b == 0)
            table->bytes[SINGLE_BYTES[b]] = static_cast<unsigned short>(b);
    }
    for (unsigned k = 0; k < sizeof PAIRS / sizeof PAIRS[0]; ++k) {
        const unsigned unit = PAIRS[k];
        if (unit == 0)
            continue;
        const unsigned lead = LeadOfRow(k / TRAIL_COUNT);
        const unsigned pair = lead << 8 | (TRAIL_FIRST + k % TRAIL_COUNT);
        unsigned short& entry = table->bytes[unit];
        if (entry == NO_BYTES || (entry > 0xFF && RankOfLead(pair >> 8) < RankOfLead(entry >> 8u)))
            entry = static_cast<unsigned short>(pair);
    }
}

const WritingTable& Writing()
{
    static WritingTable* table = [] {
        static WritingTable made;
        MakeWritingTable(&made);
        return &made;
    }();
    return *table;
}

size_t Encode(const WideChar* units, size_t count, char* bytes)
{
    // A surrogate pair is never in the code page.
    if (count != 1)
        return 0;
    const unsigned short entry = Writing().bytes[static_cast<unsigned short>(units[0])];
    if (entry == NO_BYTES)
        return 0;
    if (entry <= 0xFF) {
        bytes[0] = static_cast<char>(entry);
        return 1;
    }
    bytes[0] = static_cast<char>(entry >> 8);
    bytes[1] = static_cast<char>(entry & 0xFF);
    return 2;
}

size_t Decode(const char* bytes, size_t length, WideChar* units)
{
    const unsigned first = static_cast<unsigned char>(bytes[0]);
    unsigned short unit;
    if (length == 1) {
        unit = SINGLE_BYTES[first];
        if (unit == 0 && first != 0)
            return 0;
    } else if (length == 2 && IsLead(first)) {
        const unsigned trail = static_cast<unsigned char>(bytes[1]);
        if (trail < TRAIL_FIRST || trail >= TRAIL_FIRST + TRAIL_COUNT)
            return 0;
        unit = PAIRS[RowOfLead(first) * TRAIL_COUNT + trail - TRAIL_FIRST];
        if (unit == 0)
            return 0;
    } else {
        return 0;
    }
    units[0] = static_cast<WideChar>(unit);
    return 1;
}

} // namespace

const Cp932Codec CODE_PAGE_932 = {Encode, Decode};

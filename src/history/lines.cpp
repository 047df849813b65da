#include "history/lines.h"

#include <cstdint>
#include <cstring>

#include "convert/strings.h"

namespace {

const char HEX[] = "0123456789ABCDEF";

// Appends to a line being built; once something did not fit, everything
// after is refused too and the line counts as not written.
struct LineWriter {
    char* out;
    size_t size;
    size_t used;
    bool ok;

    void Bytes(const char* text, size_t length)
    {
        if (!ok || length > size - used) {
            ok = false;
            return;
        }
        memcpy(out + used, text, length);
        used += length;
    }
    void Text(const char* text) { Bytes(text, strlen(text)); }
    void Number(unsigned long long value)
    {
        char digits[DECIMAL_BUFFER_SIZE];
        FormatDecimal(static_cast<long long>(value), digits);
        Text(digits);
    }
    void Tab() { Bytes("\t", 1); }
    void Escape(unsigned unit)
    {
        const char escape[5] = {'%', HEX[unit >> 12 & 15], HEX[unit >> 8 & 15], HEX[unit >> 4 & 15], HEX[unit & 15]};
        Bytes(escape, 5);
    }
    void Path(const WideChar* path)
    {
        for (size_t i = 0; path[i] != 0; ++i) {
            const unsigned unit = static_cast<uint16_t>(path[i]);
            if (unit < 0x20 || unit == 0x7F || unit == '%') {
                Escape(unit);
            } else if (unit < 0x80) {
                const char byte = static_cast<char>(unit);
                Bytes(&byte, 1);
            } else if (unit < 0x800) {
                const char bytes[2] = {static_cast<char>(0xC0 | unit >> 6), static_cast<char>(0x80 | (unit & 0x3F))};
                Bytes(bytes, 2);
            } else if (unit >= 0xD800 && unit < 0xDC00 && path[i + 1] >= 0xDC00 && path[i + 1] < 0xE000) {
                const unsigned long code =
                    0x10000ul + ((unit - 0xD800ul) << 10) + (static_cast<uint16_t>(path[i + 1]) - 0xDC00ul);
                const char bytes[4] = {static_cast<char>(0xF0 | code >> 18), static_cast<char>(0x80 | (code >> 12 & 0x3F)),
                                       static_cast<char>(0x80 | (code >> 6 & 0x3F)), static_cast<char>(0x80 | (code & 0x3F))};
                Bytes(bytes, 4);
                ++i;
            } else if (unit >= 0xD800 && unit < 0xE000) {
                Escape(unit); // a surrogate without its partner
            } else {
                const char bytes[3] = {static_cast<char>(0xE0 | unit >> 12), static_cast<char>(0x80 | (unit >> 6 & 0x3F)),
                                       static_cast<char>(0x80 | (unit & 0x3F))};
                Bytes(bytes, 3);
            }
        }
    }
    size_t End()
    {
        Bytes("\r\n", 2);
        return ok ? used : 0;
    }
};

LineWriter Start(const char* kind, const char* id, char* out, size_t size)
{
    LineWriter line = {out, size, 0, true};
    line.Text(kind);
    line.Tab();
    line.Text(id);
    return line;
}

void TwoDigits(LineWriter& line, int value)
{
    const char digits[2] = {static_cast<char>('0' + value / 10 % 10), static_cast<char>('0' + value % 10)};
    line.Bytes(digits, 2);
}

// ---------------------------------------------------------------- reading

const size_t MAX_FIELDS = sizeof(HistoryLine::fields) / sizeof(HistoryLine::fields[0]);

struct KindName {
    const char* name;
    HistoryLineKind kind;
    size_t fields;
};
const KindName KINDS[] = {
    {"batch", LINE_BATCH, 4}, {"move", LINE_MOVE, 4}, {"done", LINE_DONE, 2},
    {"failed", LINE_FAILED, 5}, {"same", LINE_SAME, 3}, {"end", LINE_END, 3}, {"undone", LINE_UNDONE, 2},
};

bool FieldIs(const HistoryField& field, const char* text)
{
    return field.length == strlen(text) && memcmp(field.text, text, field.length) == 0;
}

bool IsId(const HistoryField& field)
{
    if (field.length == 0 || field.length >= HISTORY_ID_SIZE)
        return false;
    for (size_t i = 0; i < field.length; ++i) {
        const unsigned char c = static_cast<unsigned char>(field.text[i]);
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-'))
            return false;
    }
    return true;
}

// A decimal number of at most nine digits (no sign).
bool ReadNumber(const HistoryField& field, unsigned long* value)
{
    const char* text = field.text;
    const size_t length = field.length;
    if (length == 0 || length > 9)
        return false;
    unsigned long result = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        result = result * 10 + static_cast<unsigned long>(text[i] - '0');
    }
    *value = result;
    return true;
}

// Reads a path field: UTF-8 with escapes, as UTF-16 units into out
// (capacity units with the terminator), or only counted when out is
// nullptr. False at the first thing that is neither, or when it does not
// fit.
bool ReadPath(const HistoryField& field, WideChar* out, size_t capacity)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(field.text);
    const unsigned char* end = p + field.length;
    size_t used = 0;
    if (p == end || capacity == 0)
        return false;
    while (p < end) {
        const unsigned c = *p;
        unsigned long code;
        size_t length;
        if (c == '%') {
            if (end - p < 5)
                return false;
            code = 0;
            for (int k = 1; k <= 4; ++k) {
                const unsigned d = p[k];
                code <<= 4;
                if (d >= '0' && d <= '9')
                    code |= d - '0';
                else if (d >= 'A' && d <= 'F')
                    code |= d - 'A' + 10;
                else
                    return false;
            }
            if (code == 0)
                return false;
            length = 5;
        } else {
            if (c < 0x20 || c == 0x7F)
                return false;
            if (c < 0x80) {
                length = 1, code = c;
            } else if (c >= 0xC2 && c < 0xE0) {
                length = 2, code = c & 0x1F;
            } else if (c >= 0xE0 && c < 0xF0) {
                length = 3, code = c & 0x0F;
            } else if (c >= 0xF0 && c < 0xF5) {
                length = 4, code = c & 0x07;
            } else {
                return false;
            }
            if (static_cast<size_t>(end - p) < length)
                return false;
            for (size_t k = 1; k < length; ++k) {
                if ((p[k] & 0xC0) != 0x80)
                    return false;
                code = code << 6 | (p[k] & 0x3F);
            }
            // No overlong forms, no encoded surrogates, nothing past U+10FFFF.
            if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
                (code >= 0xD800 && code < 0xE000))
                return false;
        }
        const size_t units = code >= 0x10000 ? 2 : 1;
        if (used + units >= capacity)
            return false;
        if (out != nullptr && units == 2) {
            out[used] = static_cast<WideChar>(0xD800 + ((code - 0x10000) >> 10));
            out[used + 1] = static_cast<WideChar>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else if (out != nullptr) {
            out[used] = static_cast<WideChar>(code);
        }
        used += units;
        p += length;
    }
    if (out != nullptr)
        out[used] = 0;
    return true;
}

bool IsPath(const HistoryField& field)
{
    return ReadPath(field, nullptr, HISTORY_PATH_UNITS);
}

bool ReadTime(const HistoryField& field, HistoryTime* when)
{
    // yyyy-mm-dd hh:mm:ss
    static const char SHAPE[] = "0000-00-00 00:00:00";
    if (field.length != sizeof(SHAPE) - 1)
        return false;
    for (size_t i = 0; i < field.length; ++i) {
        const bool digit = field.text[i] >= '0' && field.text[i] <= '9';
        if (SHAPE[i] == '0' ? !digit : field.text[i] != SHAPE[i])
            return false;
    }
    unsigned long parts[6];
    const size_t at[6] = {0, 5, 8, 11, 14, 17};
    for (int k = 0; k < 6; ++k)
        ReadNumber({field.text + at[k], k == 0 ? 4u : 2u}, &parts[k]);
    *when = {static_cast<int>(parts[0]), static_cast<int>(parts[1]), static_cast<int>(parts[2]),
             static_cast<int>(parts[3]), static_cast<int>(parts[4]), static_cast<int>(parts[5])};
    return true;
}

} // namespace

HistoryReason ReasonForError(unsigned long error)
{
    switch (error) {
    case 80:  // ERROR_FILE_EXISTS
    case 183: // ERROR_ALREADY_EXISTS
        return REASON_EXISTS;
    case 5:  // ERROR_ACCESS_DENIED
    case 32: // ERROR_SHARING_VIOLATION
        return REASON_DENIED;
    case 2: // ERROR_FILE_NOT_FOUND
    case 3: // ERROR_PATH_NOT_FOUND
        return REASON_NOT_FOUND;
    case 206: // ERROR_FILENAME_EXCED_RANGE
        return REASON_TOO_LONG;
    default:
        return REASON_OTHER_ERROR;
    }
}

void MakeBatchId(unsigned long processId, unsigned long long stamp, char* out)
{
    FormatDecimal(static_cast<long long>(processId), out);
    size_t at = strlen(out);
    out[at++] = '-';
    int shift = 60;
    while (shift > 0 && (stamp >> shift & 15) == 0)
        shift -= 4;
    for (; shift >= 0; shift -= 4)
        out[at++] = "0123456789abcdef"[stamp >> shift & 15];
    out[at] = '\0';
}

size_t FormatBatchLine(const char* id, const HistoryTime& when, SettingsWord word, char* out, size_t size)
{
    LineWriter line = Start("batch", id, out, size);
    line.Tab();
    // yyyy-mm-dd hh:mm:ss
    const int parts[7] = {when.year / 100, when.year, when.month, when.day, when.hour, when.minute, when.second};
    for (int k = 0; k < 7; ++k) {
        TwoDigits(line, parts[k]);
        if (k > 0 && k < 6)
            line.Bytes(&"-- ::"[k - 1], 1);
    }
    line.Tab();
    line.Number(static_cast<unsigned long long>(word));
    return line.End();
}

size_t FormatMoveLine(const char* id, const WideChar* oldPath, const WideChar* newPath, char* out,
                      size_t size)
{
    LineWriter line = Start("move", id, out, size);
    line.Tab();
    line.Path(oldPath);
    line.Tab();
    line.Path(newPath);
    return line.End();
}

size_t FormatDoneLine(const char* id, char* out, size_t size)
{
    LineWriter line = Start("done", id, out, size);
    return line.End();
}

size_t FormatFailedLine(const char* id, const WideChar* path, unsigned long error, char* out, size_t size)
{
    static const char* const WORDS[REASON_COUNT] = {"target exists", "in use or access denied", "not found",
                                                    "name too long", "other"};
    LineWriter line = Start("failed", id, out, size);
    line.Tab();
    line.Path(path);
    line.Tab();
    line.Number(error % 1000000000u);
    line.Tab();
    line.Text(WORDS[ReasonForError(error)]);
    return line.End();
}

size_t FormatSameLine(const char* id, const WideChar* path, char* out, size_t size)
{
    LineWriter line = Start("same", id, out, size);
    line.Tab();
    line.Path(path);
    return line.End();
}

size_t FormatEndLine(const char* id, unsigned long unchanged, char* out, size_t size)
{
    LineWriter line = Start("end", id, out, size);
    line.Tab();
    line.Number(unchanged % 1000000000u);
    return line.End();
}

size_t FormatUndoneLine(const char* id, char* out, size_t size)
{
    LineWriter line = Start("undone", id, out, size);
    return line.End();
}

bool DecodeHistoryPath(const HistoryField& field, WideChar* out, size_t capacity)
{
    if (ReadPath(field, out, capacity))
        return true;
    if (capacity > 0)
        out[0] = 0;
    return false;
}

bool SameField(const HistoryField& a, const HistoryField& b)
{
    return a.length == b.length && memcmp(a.text, b.text, a.length) == 0;
}

HistoryLine ParseHistoryLine(const char* text, size_t length)
{
    const HistoryLine junk = {LINE_JUNK, {}, 0, {}, 0};
    HistoryLine line = junk;
    const char* start = text;
    const char* end = text + length;
    for (const char* p = text;; ++p) {
        if (p == end || *p == '\t') {
            if (line.count == MAX_FIELDS)
                return junk;
            line.fields[line.count++] = {start, static_cast<size_t>(p - start)};
            if (p == end)
                break;
            start = p + 1;
        }
    }
    const KindName* kind = nullptr;
    for (const KindName& k : KINDS) {
        if (FieldIs(line.fields[0], k.name))
            kind = &k;
    }
    if (kind == nullptr || line.count != kind->fields || !IsId(line.fields[1]))
        return junk;
    bool ok = true;
    switch (kind->kind) {
    case LINE_BATCH:
        ok = ReadTime(line.fields[2], &line.when) && ReadNumber(line.fields[3], &line.number);
        break;
    case LINE_MOVE:
        ok = IsPath(line.fields[2]) && IsPath(line.fields[3]);
        break;
    case LINE_FAILED:
        ok = IsPath(line.fields[2]) && ReadNumber(line.fields[3], &line.number);
        break;
    case LINE_SAME:
        ok = IsPath(line.fields[2]);
        break;
    case LINE_END:
        ok = ReadNumber(line.fields[2], &line.number);
        break;
    default:
        break;
    }
    if (!ok)
        return junk;
    line.kind = kind->kind;
    return line;
}


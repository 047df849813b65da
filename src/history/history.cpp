#include "history/history.h"

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
    void Path(const HistoryChar* path)
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

enum LineKind { LINE_JUNK, LINE_BATCH, LINE_MOVE, LINE_DONE, LINE_FAILED, LINE_END, LINE_UNDONE };

const size_t MAX_FIELDS = 5;

struct Line {
    LineKind kind;
    HistoryField fields[MAX_FIELDS];
    size_t count;
};

struct KindName {
    const char* name;
    LineKind kind;
    size_t fields;
};
const KindName KINDS[] = {
    {"batch", LINE_BATCH, 4}, {"move", LINE_MOVE, 4}, {"done", LINE_DONE, 2},
    {"failed", LINE_FAILED, 5}, {"end", LINE_END, 3}, {"undone", LINE_UNDONE, 2},
};

bool FieldIs(const HistoryField& field, const char* text)
{
    return field.length == strlen(text) && memcmp(field.text, text, field.length) == 0;
}

bool SameField(const HistoryField& a, const HistoryField& b)
{
    return a.length == b.length && memcmp(a.text, b.text, a.length) == 0;
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
bool ReadNumber(const char* text, size_t length, unsigned long* value)
{
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
bool ReadPath(const HistoryField& field, HistoryChar* out, size_t capacity)
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
            out[used] = static_cast<HistoryChar>(0xD800 + ((code - 0x10000) >> 10));
            out[used + 1] = static_cast<HistoryChar>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else if (out != nullptr) {
            out[used] = static_cast<HistoryChar>(code);
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
        ReadNumber(field.text + at[k], k == 0 ? 4 : 2, &parts[k]);
    *when = {static_cast<int>(parts[0]), static_cast<int>(parts[1]), static_cast<int>(parts[2]),
             static_cast<int>(parts[3]), static_cast<int>(parts[4]), static_cast<int>(parts[5])};
    return true;
}

// Splits text[0, length) into its fields and checks them. A line that is
// not whole (no line end after it) is never handed here.
Line ParseLine(const char* text, size_t length)
{
    Line line = {LINE_JUNK, {}, 0};
    const char* start = text;
    const char* end = text + length;
    for (const char* p = text;; ++p) {
        if (p == end || *p == '\t') {
            if (line.count == MAX_FIELDS)
                return {LINE_JUNK, {}, 0};
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
        return {LINE_JUNK, {}, 0};
    unsigned long number;
    HistoryTime when;
    bool ok = true;
    switch (kind->kind) {
    case LINE_BATCH:
        ok = ReadTime(line.fields[2], &when) && ReadNumber(line.fields[3].text, line.fields[3].length, &number);
        break;
    case LINE_MOVE:
        ok = IsPath(line.fields[2]) && IsPath(line.fields[3]);
        break;
    case LINE_FAILED:
        ok = IsPath(line.fields[2]) && ReadNumber(line.fields[3].text, line.fields[3].length, &number);
        break;
    case LINE_END:
        ok = ReadNumber(line.fields[2].text, line.fields[2].length, &number);
        break;
    default:
        break;
    }
    if (!ok)
        return {LINE_JUNK, {}, 0};
    line.kind = kind->kind;
    return line;
}

// Calls visit(line, start, length) for every whole line (its line end not
// counted in length), first to last. A line ends at LF, with the CR before
// it dropped; what follows the last LF is cut short and is passed over.
template <typename Visit>
void ForEachLine(const char* text, size_t length, Visit visit)
{
    size_t start = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] != '\n')
            continue;
        size_t end = i > start && text[i - 1] == '\r' ? i - 1 : i;
        visit(ParseLine(text + start, end - start), start, i + 1 - start);
        start = i + 1;
    }
}

// The same, last to first.
template <typename Visit>
void ForEachLineBackwards(const char* text, size_t length, Visit visit)
{
    size_t end = length;
    while (end > 0 && text[end - 1] != '\n')
        --end; // the last line, cut short
    while (end > 0) {
        size_t start = end - 1;
        while (start > 0 && text[start - 1] != '\n')
            --start;
        size_t stop = end - 1 > start && text[end - 2] == '\r' ? end - 2 : end - 1;
        if (!visit(ParseLine(text + start, stop - start), start, end - start))
            return;
        end = start;
    }
}

// A set of batch ids, with a number for each; ids are copied, so the text
// may change under it. Full, it takes no more.
const size_t ID_SLOTS = 1 << 15;
const size_t MAX_IDS = ID_SLOTS / 4 * 3;

struct IdEntry {
    unsigned generation; // free unless it is the table's
    unsigned char length;
    char id[HISTORY_ID_SIZE];
    size_t bytes;
    int state;
    size_t batchStart; // where the "batch" line that trimming measured from starts
};

struct IdTable {
    IdEntry slots[ID_SLOTS];
    size_t count;
    unsigned generation;

    // Frees every slot at once: a slot of an older generation is free.
    void Clear()
    {
        if (++generation == 0) {
            for (IdEntry& slot : slots)
                slot.generation = 0;
            generation = 1;
        }
        count = 0;
    }
    // The entry of id; a new one when add is set and there is room, else
    // nullptr.
    IdEntry* Find(const HistoryField& id, bool add)
    {
        uint32_t hash = 2166136261u;
        for (size_t i = 0; i < id.length; ++i)
            hash = (hash ^ static_cast<unsigned char>(id.text[i])) * 16777619u;
        for (size_t probe = 0;; ++probe) {
            IdEntry& slot = slots[(hash + probe) & (ID_SLOTS - 1)];
            if (slot.generation != generation) {
                if (!add || count == MAX_IDS)
                    return nullptr;
                ++count;
                slot.generation = generation;
                slot.length = static_cast<unsigned char>(id.length);
                memcpy(slot.id, id.text, id.length);
                slot.bytes = 0;
                slot.state = 0;
                slot.batchStart = 0;
                return &slot;
            }
            if (slot.length == id.length && memcmp(slot.id, id.text, id.length) == 0)
                return &slot;
        }
    }
};

IdTable ids;

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

size_t FormatMoveLine(const char* id, const HistoryChar* oldPath, const HistoryChar* newPath, char* out,
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

size_t FormatFailedLine(const char* id, const HistoryChar* path, unsigned long error, char* out, size_t size)
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

bool DecodeHistoryPath(const HistoryField& field, HistoryChar* out, size_t capacity)
{
    if (ReadPath(field, out, capacity))
        return true;
    if (capacity > 0)
        out[0] = 0;
    return false;
}

namespace {

// What batch id did, into batch (its id already set), and its moves that
// may have happened into moves (at most capacity); returns how many moves
// there are in all. Only lines from the batch's first "batch" line on are
// its own.
size_t ReadBatch(const char* text, size_t length, const HistoryField& id, HistoryBatch* batch,
                 HistoryMove* moves, size_t capacity)
{
    size_t count = 0;
    bool started = false;
    bool pending = false;
    HistoryField pendingPath = {nullptr, 0};
    ForEachLine(text, length, [&](const Line& line, size_t, size_t) {
        if (line.kind == LINE_JUNK || !SameField(line.fields[1], id))
            return;
        unsigned long number = 0;
        if (line.kind == LINE_BATCH) {
            if (!started) {
                ReadTime(line.fields[2], &batch->when);
                ReadNumber(line.fields[3].text, line.fields[3].length, &number);
                batch->word = static_cast<SettingsWord>(number & static_cast<unsigned long>(OPT_ALL));
            }
            started = true;
        }
        if (!started)
            return;
        switch (line.kind) {
        case LINE_MOVE:
            batch->unconfirmed += pending;
            if (count < capacity)
                moves[count] = {line.fields[2], line.fields[3], false};
            ++count;
            pending = true;
            pendingPath = line.fields[2];
            break;
        case LINE_DONE:
            if (pending) {
                batch->renamed++;
                if (count <= capacity)
                    moves[count - 1].confirmed = true;
            }
            pending = false;
            break;
        case LINE_FAILED:
            // The move just written failed, or a path was given up before
            // any move.
            if (pending && SameField(pendingPath, line.fields[2])) {
                pending = false;
                --count;
            }
            ReadNumber(line.fields[3].text, line.fields[3].length, &number);
            batch->failed++;
            batch->reasons[ReasonForError(number)]++;
            break;
        case LINE_END:
            ReadNumber(line.fields[2].text, line.fields[2].length, &number);
            batch->unchanged = number;
            batch->ended = true;
            break;
        default:
            break;
        }
    });
    batch->unconfirmed += pending;
    return count;
}

} // namespace

bool FindLatestBatch(const char* text, size_t length, HistoryBatch* batch)
{
    // Backwards: the first "batch" line met whose id no later line marks
    // undone.
    ids.Clear();
    HistoryField found = {nullptr, 0};
    ForEachLineBackwards(text, length, [&](const Line& line, size_t, size_t) {
        if (line.kind == LINE_UNDONE)
            ids.Find(line.fields[1], true);
        if (line.kind == LINE_BATCH && ids.Find(line.fields[1], false) == nullptr) {
            found = line.fields[1];
            return false;
        }
        return true;
    });
    if (found.text == nullptr)
        return false;
    *batch = HistoryBatch{};
    memcpy(batch->id, found.text, found.length);
    ReadBatch(text, length, found, batch, nullptr, 0);
    return true;
}

size_t ListBatchMoves(const char* text, size_t length, const char* id, HistoryMove* moves, size_t capacity)
{
    HistoryBatch batch = {};
    return ReadBatch(text, length, {id, strlen(id)}, &batch, moves, capacity);
}

size_t TrimHistory(char* text, size_t length, size_t limit)
{
    // Backwards: a batch's lines all follow its "batch" line, so when that
    // line is met its size is known. The latest batch is kept; older ones
    // while they fit; from the first that does not, none.
    enum { UNDECIDED, KEPT };
    ids.Clear();
    size_t kept = 0;
    bool first = true;
    ForEachLineBackwards(text, length, [&](const Line& line, size_t start, size_t bytes) {
        if (line.kind == LINE_JUNK)
            return true;
        IdEntry* entry = ids.Find(line.fields[1], true);
        if (entry == nullptr)
            return false;
        if (entry->state == KEPT)
            return true; // before the "batch" line measured: dropped below
        entry->bytes += bytes;
        if (line.kind != LINE_BATCH)
            return true;
        if (!first && kept + entry->bytes > limit)
            return false;
        first = false;
        kept += entry->bytes;
        entry->state = KEPT;
        entry->batchStart = start;
        return true;
    });

    // Forwards: every line of a kept batch from the "batch" line it was
    // measured from (its last) on, exactly what was counted. Copying from an
    // earlier "batch" line of the same id could pass the limit, and a second
    // trim would then drop a batch the first one kept.
    size_t out = 0;
    ForEachLine(text, length, [&](const Line& line, size_t start, size_t bytes) {
        if (line.kind == LINE_JUNK)
            return;
        IdEntry* entry = ids.Find(line.fields[1], false);
        if (entry == nullptr || entry->state != KEPT || start < entry->batchStart)
            return;
        memmove(text + out, text + start, bytes);
        out += bytes;
    });
    return out;
}

const char* ReasonText(HistoryReason reason)
{
    static const char* const TEXTS[REASON_COUNT] = {
        "\x93\xAF\x82\xB6\x96\xBC\x91\x4F\x82\xAA\x82\xA0\x82\xE9",         // 同じ名前がある
        "\x8E\x67\x97\x70\x92\x86\x82\xA9\x8C\xA0\x8C\xC0\x82\xC8\x82\xB5", // 使用中か権限なし
        "\x8C\xA9\x82\xC2\x82\xA9\x82\xE7\x82\xC8\x82\xA2",                 // 見つからない
        "\x96\xBC\x91\x4F\x82\xAA\x92\xB7\x82\xB7\x82\xAC\x82\xE9",         // 名前が長すぎる
        "\x82\xBB\x82\xCC\x91\xBC\x82\xCC\x83\x47\x83\x89\x81\x5B",         // その他のエラー
    };
    return TEXTS[reason < REASON_COUNT ? reason : REASON_OTHER_ERROR];
}

void FormatHistorySummary(const HistoryBatch* batch, char* out, size_t size)
{
    LineWriter line = {out, size - 1, 0, true};
    if (batch == nullptr) {
        line.Text("\x97\x9A\x97\xF0\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81\x42"); // 履歴はありません。
        out[line.ok ? line.used : 0] = '\0';
        return;
    }
    // 2026-12-09 14:05:31, and （中断） when the batch was stopped before its end.
    char head[64];
    const size_t stamp = FormatBatchLine("x", batch->when, 0, head, sizeof head);
    const size_t skip = strlen("batch\tx\t");
    line.Bytes(head + skip, stamp > skip + 19 ? 19 : 0);
    if (!batch->ended)
        line.Text("\x81\x69\x92\x86\x92\x66\x81\x6A");
    // 名前を変更: <n> 件
    line.Text("\r\n\x96\xBC\x91\x4F\x82\xF0\x95\xCF\x8D\x58: ");
    line.Number(batch->renamed);
    line.Text(" \x8C\x8F");
    if (batch->failed != 0) {
        // 失敗: <n> 件（主に<reason>）
        line.Text("\r\n\x8E\xB8\x94\x73: ");
        line.Number(batch->failed);
        line.Text(" \x8C\x8F\x81\x69\x8E\xE5\x82\xC9");
        int common = 0;
        for (int r = 1; r < REASON_COUNT; ++r) {
            if (batch->reasons[r] > batch->reasons[common])
                common = r;
        }
        line.Text(ReasonText(static_cast<HistoryReason>(common)));
        line.Text("\x81\x6A");
    }
    out[line.ok ? line.used : 0] = '\0';
}

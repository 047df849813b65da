// Fuzz target for the conversion pipeline, the separator search, the
// settings word parser, the stand-ins for characters outside code page
// 932, the join of combining marks, and the reading and trimming of the
// history file.
//
// Input layout: two bytes of settings word (little-endian, so every word is
// reached, katakana and marks among them), one byte of spare capacity,
// then the name up to the first NUL (the history: all of it). The name is
// copied into a heap buffer
// that ends exactly at the capacity, so AddressSanitizer reports any byte
// read or written beyond it.
//
// Built with -fsanitize=fuzzer this is a libFuzzer target. Built without
// (BLANKMENDER_FUZZ_MAIN), main() runs the target over every file named on
// the command line, and every file in every folder named there.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "convert/combining_marks.h"
#include "convert/name.h"
#include "convert/pipeline.h"
#include "convert/sjis.h"
#include "convert/strings.h"
#include "history/history.h"
#include "ui/summary.h"
#include "reference.h"
#include "settings/settings.h"

namespace {

// Names longer than any path are still worth a look, but the reference
// shifts its tail byte by byte, so keep it bounded.
const size_t MAX_NAME = 1024;

[[noreturn]] void Fail(const char* what, const char* name, const std::string& got,
                       const std::string& expected)
{
    std::fprintf(stderr, "%s\n  name     %s\n  got      %s\n  expected %s\n", what,
                 Ref::Hex(name).c_str(), got.c_str(), expected.c_str());
    std::abort();
}

std::unique_ptr<char[]> ExactCopy(const char* name, size_t n, size_t capacity)
{
    std::unique_ptr<char[]> buf(new char[capacity]);
    std::memcpy(buf.get(), name, n + 1);
    return buf;
}

void CheckPipeline(int word, const char* name, size_t n, size_t capacity)
{
    std::unique_ptr<char[]> got = ExactCopy(name, n, capacity);
    const bool ok = ConvertNameWithWord(word, got.get(), capacity);

    std::vector<char> ref(2 * n + 1);
    std::memcpy(ref.data(), name, n + 1);
    const size_t needed = Ref::ConvertNameWithWord(word, ref.data());

    if (ok != (needed <= capacity))
        Fail("ConvertNameWithWord: wrong answer to whether the result fits", name,
             (ok ? "true at capacity " : "false at capacity ") + std::to_string(capacity),
             "needs " + std::to_string(needed) + " for word " + std::to_string(word));
    if (ok && std::strcmp(got.get(), ref.data()) != 0)
        Fail("ConvertNameWithWord differs from the reference", name, Ref::Hex(got.get()),
             Ref::Hex(ref.data()));
}

void CheckSeparator(const char* name, size_t n)
{
    std::unique_ptr<char[]> path = ExactCopy(name, n, n + 1);
    const size_t got = FindLastSeparator(path.get());
    const size_t expected = Ref::FindLastSeparator(name);
    if (got != expected)
        Fail("FindLastSeparator", name, std::to_string(got), std::to_string(expected));
}

// "config.dat" beside the executable, in a buffer a few bytes either side
// of the exact fit.
void CheckSettingsPath(const char* name, size_t n, size_t spare)
{
    const size_t sep = Ref::FindLastSeparator(name);
    const std::string expected =
        sep == Ref::NONE ? std::string() : std::string(name, sep + 1) + "config.dat";
    const size_t widened = expected.size() + 1 + (spare & 7);
    const size_t size = widened > 4 ? widened - 4 : 1;

    std::unique_ptr<char[]> exe = ExactCopy(name, n, n + 1);
    std::unique_ptr<char[]> buffer(new char[size]);
    const bool ok = PathBesideExecutable(exe.get(), "config.dat", buffer.get(), size);
    const bool fits = sep != Ref::NONE && expected.size() + 1 <= size;
    if (ok != fits || (ok && expected != buffer.get()))
        Fail("PathBesideExecutable", name, ok ? buffer.get() : "false",
             fits ? expected : "false");
}

// "%d" semantics, reduced modulo 2^18 as it goes: the low eighteen bits
// of a number (the word's bits 0-17) do not depend on how far it
// overflowed.
bool ParseOracle(const char* text, int* word)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    if (*p < '0' || *p > '9')
        return false;
    unsigned value = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        value = (value * 10 + (*p - '0')) % 262144;
    *word = static_cast<int>((negative ? 262144 - value : value) % 262144);
    return true;
}

void CheckParse(const char* name, size_t n)
{
    std::unique_ptr<char[]> text = ExactCopy(name, n, n + 1);
    int got = -1;
    int expected = -1;
    const bool ok = ParseSettingsWord(text.get(), &got);
    const bool expected_ok = ParseOracle(name, &expected);
    if (ok != expected_ok || (ok && got != expected))
        Fail("ParseSettingsWord", name, ok ? std::to_string(got) : "false",
             expected_ok ? std::to_string(expected) : "false");
}

// The name's bytes read as UTF-16 units (any mix of inside and outside
// characters, surrogates alone or paired) go to code page 932 with stand-ins
// in a name buffer. What fits must come back exactly; its length must be
// what the characters count; and after any word's conversions every outside
// character must still be there, in order, exactly as it was.
void CheckStandIns(int word, const char* name, size_t n)
{
    std::u16string wide;
    for (size_t i = 0; i + 1 < n && wide.size() < 200; i += 2) {
        const char16_t unit = static_cast<char16_t>(static_cast<unsigned char>(name[i]) |
                                                    static_cast<unsigned char>(name[i + 1]) << 8);
        if (unit == 0)
            break;
        wide += unit;
    }

    // The length each character counts, and the outside ones in order.
    size_t needed = 1;
    std::u16string outside;
    for (size_t i = 0; i < wide.size();) {
        size_t count = 1;
        if (wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
            wide[i + 1] <= 0xDFFF)
            count = 2;
        char bytes[2];
        size_t size = 0;
        if (wide[i] < 0x80)
            size = 1;
        else if (wide[i] < 0xE000 || wide[i] > 0xE757)
            size = Ref::SMALL_CODE_PAGE.encode(wide.data() + i, count, bytes);
        if (size == 0) {
            size = 2;
            outside.append(wide, i, count);
        }
        needed += size;
        i += count;
    }

    StandIns table;
    table.count = 0;
    char bytes[NAME_BUFFER_SIZE];
    const bool ok = ToCodePage932(wide.data(), wide.size(), Ref::SMALL_CODE_PAGE, &table, bytes, sizeof bytes);
    if (ok != (needed <= sizeof bytes))
        Fail("ToCodePage932: wrong answer to whether the name fits", name, ok ? "true" : "false",
             "needs " + std::to_string(needed));
    if (!ok)
        return;
    if (std::strlen(bytes) + 1 != needed)
        Fail("ToCodePage932: wrong length", name, std::to_string(std::strlen(bytes) + 1),
             std::to_string(needed));
    char16_t back[NAME_BUFFER_SIZE];
    if (!FromCodePage932(bytes, Ref::SMALL_CODE_PAGE, table, back, NAME_BUFFER_SIZE) || back != wide)
        Fail("FromCodePage932 does not give the name back", name, Ref::Hex(bytes), "");

    if (!ConvertNameWithWord(word, bytes, sizeof bytes))
        return;
    if (!FromCodePage932(bytes, Ref::SMALL_CODE_PAGE, table, back, NAME_BUFFER_SIZE))
        Fail("FromCodePage932 cannot read the converted name", name, Ref::Hex(bytes), "");
    std::u16string kept;
    for (size_t i = 0; back[i] != 0; ++i) {
        if (outside.find(back[i]) != std::u16string::npos)
            kept += back[i];
    }
    if (kept != outside)
        Fail("an outside character did not survive the conversions", name, Ref::Hex(bytes),
             "word " + std::to_string(word));

    // The conversions of bits 0-11 keep every name's length in units, so a
    // name Windows can hold always converts, and the new one fits too.
    if (wide.size() <= MAX_NAME_UNITS) {
        WideName converted;
        const NameResult result =
            ConvertNameWith(word & 0xFFF, wide.data(), wide.size(), {Ref::SMALL_CODE_PAGE, nullptr, 0}, converted);
        if (result == NAME_TOO_LONG || result == NAME_UNREADABLE ||
            (result == NAME_CONVERTED && std::u16string(converted).size() != wide.size()))
            Fail("ConvertNameWith: a name of 255 units or fewer did not convert to as many", name,
                 std::to_string(result), "word " + std::to_string(word));
    }
}

// A normaliser that keeps each run's base and drops its marks: the join must
// hand it exactly the runs of a base and marks, and keep every other unit.
size_t KeepBase(const WideChar* units, size_t count, WideChar* out, size_t capacity)
{
    size_t base = 1;
    if (count > 1 && units[0] >= 0xD800 && units[0] <= 0xDBFF && units[1] >= 0xDC00 && units[1] <= 0xDFFF)
        base = 2;
    if (base > capacity)
        return 0;
    for (size_t i = 0; i < base; ++i)
        out[i] = units[i];
    return base;
}

void CheckJoin(const char* name, size_t n)
{
    std::u16string wide;
    for (size_t i = 0; i + 1 < n && wide.size() < MAX_NAME_UNITS; i += 2)
        wide += static_cast<char16_t>(static_cast<unsigned char>(name[i]) |
                                      static_cast<unsigned char>(name[i + 1]) << 8);
    std::u16string expected;
    for (size_t i = 0; i < wide.size();) {
        const bool pair = wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wide.size() &&
                          wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF;
        const size_t end = i + (pair ? 2 : 1);
        size_t marks = end;
        while (marks < wide.size() && IsCombiningMark(wide[marks]))
            ++marks;
        const bool joins = marks > end && !IsCombiningMark(wide[i]);
        expected.append(wide, i, (joins ? end : marks) - i);
        i = marks;
    }
    std::u16string joined = wide;
    joined.resize(JoinCombiningMarks(&joined[0], joined.size(), KeepBase));
    if (joined != expected)
        Fail("JoinCombiningMarks", name, std::to_string(joined.size()) + " units",
             std::to_string(expected.size()) + " units");
}

} // namespace

// Any bytes as a history file: reading never fails and never reads past
// the text; every move it lists decodes; trimming never grows the text,
// and trimming what it made changes nothing.
void CheckHistory(const char* text, size_t n, size_t spare)
{
    std::unique_ptr<char[]> copy(new char[n + 1]);
    std::memcpy(copy.get(), text, n);
    HistoryBatch batch;
    if (FindLatestBatch(copy.get(), n, &batch)) {
        std::vector<HistoryMove> moves(spare & 15);
        const size_t count = ListBatchMoves(copy.get(), n, batch.id, moves.data(), moves.size());
        std::vector<WideChar> path(HISTORY_PATH_UNITS);
        for (size_t i = 0; i < count && i < moves.size(); ++i) {
            if (!DecodeHistoryPath(moves[i].oldPath, path.data(), path.size()) ||
                !DecodeHistoryPath(moves[i].newPath, path.data(), path.size()))
                Fail("ListBatchMoves listed a path that does not decode", "", "", "");
        }
        WideChar summary[256];
        FormatHistorySummary(&batch, summary, sizeof summary / sizeof summary[0]);
    }
    const size_t trimmed = TrimHistory(copy.get(), n, spare * 8);
    if (trimmed > n)
        Fail("TrimHistory grew the text", "", std::to_string(trimmed), std::to_string(n));
    const std::string once(copy.get(), trimmed);
    if (TrimHistory(copy.get(), trimmed, spare * 8) != trimmed || once != std::string(copy.get(), trimmed))
        Fail("TrimHistory changed what it made", "", "", "");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const int word = data[0] | (data[1] << 8);
    const size_t spare = data[2];
    std::string name(reinterpret_cast<const char*>(data + 3), size - 3);
    CheckHistory(name.data(), name.size(), spare);
    name.resize(std::min(std::strlen(name.c_str()), MAX_NAME));
    const size_t n = name.size();

    CheckPipeline(word, name.c_str(), n, n + 1 + spare);
    CheckSeparator(name.c_str(), n);
    CheckSettingsPath(name.c_str(), n, spare);
    CheckParse(name.c_str(), n);
    CheckStandIns(word, name.c_str(), n);
    CheckJoin(name.c_str(), n);
    return 0;
}

#ifdef BLANKMENDER_FUZZ_MAIN
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

void RunFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

} // namespace

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    size_t runs = 0;
    for (int i = 1; i < argc; ++i) {
        if (fs::is_directory(argv[i])) {
            for (const auto& entry : fs::directory_iterator(argv[i]))
                if (entry.is_regular_file()) {
                    RunFile(entry.path());
                    ++runs;
                }
        } else {
            RunFile(argv[i]);
            ++runs;
        }
    }
    std::printf("ran %zu inputs\n", runs);
    return runs > 0 ? 0 : 1;
}
#endif

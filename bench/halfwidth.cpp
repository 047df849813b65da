// halfwidth: the half-width job over a file of names, one per line.
//
//   halfwidth [-o OUTPUT] [INPUT]
//
// Reads Shift-JIS names separated by LF (from INPUT, or standard input),
// turns full-width digits and letters into half-width ones with the
// pipeline under the settings word for that job, and writes the names with their
// line ends to OUTPUT (or standard output). Nothing else changes: a CR
// before the LF, half-width katakana and every other byte pass through. The
// output can be compared with that of `nkf -Z0` on the same file.

#include <cstdio>
#include <cstring>

#include "convert/pipeline.h"
#include "convert/strings.h"
#include "corpus.h"

namespace {

// A line must fit in here whole; file names are far shorter.
constexpr size_t CHUNK_SIZE = 1 << 20;
char g_chunk[CHUNK_SIZE + 1];

// Converts a name of len bytes, none of them NUL, as the program converts
// one: copied into a name buffer and converted there under the job's word.
// The result goes to out, which may overlap name but not lie after it. A
// name too long for the buffer, which the program would never hold, is
// converted where it lies (name[len] becomes its terminator); the job only
// shrinks names. Returns the length of the result.
size_t ConvertName(char* name, size_t len, char* out)
{
    NameBuffer buffer;
    char* at = buffer;
    size_t capacity = sizeof buffer;
    if (len < sizeof buffer) {
        std::memcpy(buffer, name, len);
        buffer[len] = '\0';
    } else {
        name[len] = '\0';
        at = name;
        capacity = len + 1;
    }
    ConvertNameWithWord(HALF_WIDTH_JOB_WORD, at, capacity);
    const size_t converted = std::strlen(at);
    std::memmove(out, at, converted);
    return converted;
}

// The same for a line of len bytes, which may hold NULs when hasNul: each
// NUL splits the line into names converted on their own, and is kept.
size_t ConvertLine(char* line, size_t len, bool hasNul, char* out)
{
    if (!hasNul)
        return ConvertName(line, len, out);
    char* const start = out;
    size_t at = 0;
    for (;;) {
        const void* nul = std::memchr(line + at, '\0', len - at);
        const size_t nameLength =
            nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - line) - at : len - at;
        out += ConvertName(line + at, nameLength, out);
        at += nameLength;
        if (at >= len)
            break;
        *out++ = '\0';
        ++at;
    }
    return static_cast<size_t>(out - start);
}

int Usage()
{
    std::fputs("usage: halfwidth [-o OUTPUT] [INPUT]\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    const char* inputPath = nullptr;
    const char* outputPath = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc)
            outputPath = argv[++i];
        else if (argv[i][0] == '-' && argv[i][1] != '\0')
            return Usage();
        else if (inputPath == nullptr)
            inputPath = argv[i];
        else
            return Usage();
    }

    FILE* in = OpenStream(inputPath, "rb", stdin);
    if (in == nullptr)
        return 1;
    FILE* out = OpenStream(outputPath, "wb", stdout);
    if (out == nullptr)
        return 1;

    // Lines are converted in place and packed towards the start of the
    // chunk (the job only ever shrinks a line), so each chunk is written
    // with one call. An unfinished last line moves to the front and waits
    // for the rest of its bytes.
    size_t kept = 0;
    for (;;) {
        const size_t got = std::fread(g_chunk + kept, 1, CHUNK_SIZE - kept, in);
        const size_t filled = kept + got;
        size_t read = 0;
        size_t written = 0;
        // Where the next NUL is, found once for many lines: names hold none.
        const void* nul = std::memchr(g_chunk, '\0', filled);
        size_t nextNul = nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - g_chunk) : filled;
        for (;;) {
            const void* lf = std::memchr(g_chunk + read, '\n', filled - read);
            if (lf == nullptr)
                break;
            const size_t lineEnd = static_cast<size_t>(static_cast<const char*>(lf) - g_chunk);
            const bool hasNul = nextNul < lineEnd;
            written += ConvertLine(g_chunk + read, lineEnd - read, hasNul, g_chunk + written);
            if (hasNul) {
                nul = std::memchr(g_chunk + lineEnd, '\0', filled - lineEnd);
                nextNul = nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - g_chunk) : filled;
            }
            g_chunk[written++] = '\n';
            read = lineEnd + 1;
        }
        if (got == 0) {
            if (std::ferror(in)) {
                std::perror(inputPath != nullptr ? inputPath : "stdin");
                return 1;
            }
            if (read < filled)
                written += ConvertLine(g_chunk + read, filled - read, nextNul < filled, g_chunk + written);
            read = filled;
        }
        if (written > 0 && std::fwrite(g_chunk, 1, written, out) != written) {
            std::perror(outputPath != nullptr ? outputPath : "stdout");
            return 1;
        }
        if (got == 0)
            break;
        kept = filled - read;
        if (kept == CHUNK_SIZE) {
            std::fprintf(stderr, "halfwidth: a line is longer than %zu bytes\n", CHUNK_SIZE);
            return 1;
        }
        std::memmove(g_chunk, g_chunk + read, kept);
    }
    if (std::fclose(out) != 0) {
        std::perror(outputPath != nullptr ? outputPath : "stdout");
        return 1;
    }
    if (in != stdin)
        std::fclose(in);
    return 0;
}

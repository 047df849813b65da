// katakana: a katakana job over a file of names, one per line.
//
//   katakana -f|-h [-o OUTPUT] [INPUT]
//
// Reads Shift-JIS names separated by LF (from INPUT, or standard input),
// converts each with the pipeline under the word of the job, -f half-width
// katakana to full width or -h full-width katakana to half width, and writes
// the names with their line ends to OUTPUT (or standard output). Nothing
// else changes. The output can be compared with that of `nkf -X` (-f) or
// `nkf -Z4 -x` (-h) on the same file.
//
// A name is converted in a buffer of twice its length, not in a name buffer:
// this compares the conversion, and the file system's limit on a name is
// batch renaming's business.

#include <cstdio>
#include <cstring>

#include "convert/pipeline.h"
#include "corpus.h"

namespace {

// Lines must fit in a chunk whole; file names are far shorter. The output
// of a chunk is at most twice its size.
constexpr size_t CHUNK_SIZE = 1 << 20;
char g_in[CHUNK_SIZE];
char g_out[2 * CHUNK_SIZE + 2];

// Converts the name of len bytes at name (no NUL in it) under word into out,
// and returns the length of the result. A NUL in a line ends the name there:
// the rest of the line is dropped, as no file name holds one.
size_t ConvertName(SettingsWord word, const char* name, size_t len, char* out)
{
    std::memcpy(out, name, len);
    out[len] = '\0';
    ConvertNameWithWord(word, out, 2 * len + 1);
    return std::strlen(out);
}

int Usage()
{
    std::fputs("usage: katakana -f|-h [-o OUTPUT] [INPUT]\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    SettingsWord word = 0;
    const char* inputPath = nullptr;
    const char* outputPath = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-f") == 0)
            word = KANA_TO_FULL_JOB_WORD;
        else if (std::strcmp(argv[i], "-h") == 0)
            word = KANA_TO_HALF_JOB_WORD;
        else if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc)
            outputPath = argv[++i];
        else if (argv[i][0] == '-' && argv[i][1] != '\0')
            return Usage();
        else if (inputPath == nullptr)
            inputPath = argv[i];
        else
            return Usage();
    }
    if (word == 0)
        return Usage();

    FILE* in = OpenStream(inputPath, "rb", stdin);
    if (in == nullptr)
        return 1;
    FILE* out = OpenStream(outputPath, "wb", stdout);
    if (out == nullptr)
        return 1;

    size_t kept = 0;
    for (;;) {
        const size_t got = std::fread(g_in + kept, 1, CHUNK_SIZE - kept, in);
        const size_t filled = kept + got;
        size_t read = 0;
        size_t written = 0;
        for (;;) {
            const void* lf = std::memchr(g_in + read, '\n', filled - read);
            size_t lineEnd;
            if (lf != nullptr)
                lineEnd = static_cast<size_t>(static_cast<const char*>(lf) - g_in);
            else if (got == 0 && read < filled)
                lineEnd = filled; // the last line, without its LF
            else
                break;
            written += ConvertName(word, g_in + read, lineEnd - read, g_out + written);
            if (lf != nullptr)
                g_out[written++] = '\n';
            read = lineEnd + (lf != nullptr ? 1 : 0);
        }
        if (written > 0 && std::fwrite(g_out, 1, written, out) != written) {
            std::perror(outputPath != nullptr ? outputPath : "stdout");
            return 1;
        }
        if (got == 0) {
            if (std::ferror(in)) {
                std::perror(inputPath != nullptr ? inputPath : "stdin");
                return 1;
            }
            break;
        }
        kept = filled - read;
        if (kept == CHUNK_SIZE) {
            std::fprintf(stderr, "katakana: a line is longer than %zu bytes\n", CHUNK_SIZE);
            return 1;
        }
        std::memmove(g_in, g_in + read, kept);
    }
    if (std::fclose(out) != 0) {
        std::perror(outputPath != nullptr ? outputPath : "stdout");
        return 1;
    }
    if (in != stdin)
        std::fclose(in);
    return 0;
}

// make_corpus: writes the benchmark's generated names, one per line.
//
//   make_corpus [-n NAMES] [-m MEGABYTES] [-x MIX] [-o OUTPUT]
//
// Writes the first NAMES names of the stream (100000 by default), or, with
// -m, as many names as it takes to reach MEGABYTES * 10^6 bytes. It is the
// benchmark's stream, so its first 100000 names are the ones the benchmark
// converts. MIX is 1 (the default: mostly kanji and kana) or 2 (many more
// ASCII letters and digits) or 3 (kana of both widths, for the katakana
// jobs); see corpus.h. Lines end in LF.

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "corpus.h"

namespace {

int Usage()
{
    std::fputs("usage: make_corpus [-n NAMES] [-m MEGABYTES] [-x 1|2|3] [-o OUTPUT]\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    unsigned long long names = CORPUS_NAMES;
    unsigned long long bytes = 0;
    const char* outputPath = nullptr;
    CorpusMix mix = MIX_JAPANESE;
    for (int i = 1; i < argc; ++i) {
        if (i + 1 >= argc)
            return Usage();
        char* end = nullptr;
        if (std::strcmp(argv[i], "-n") == 0) {
            names = std::strtoull(argv[++i], &end, 10);
        } else if (std::strcmp(argv[i], "-m") == 0) {
            bytes = std::strtoull(argv[++i], &end, 10) * 1000000ULL;
        } else if (std::strcmp(argv[i], "-x") == 0) {
            const unsigned long long n = std::strtoull(argv[++i], &end, 10);
            if (n != MIX_JAPANESE && n != MIX_ALNUM && n != MIX_KANA)
                return Usage();
            mix = static_cast<CorpusMix>(n);
        } else if (std::strcmp(argv[i], "-o") == 0) {
            outputPath = argv[++i];
            continue;
        } else {
            return Usage();
        }
        if (end == nullptr || *end != '\0')
            return Usage();
    }

    FILE* out = OpenStream(outputPath, "wb", stdout);
    if (out == nullptr)
        return 1;

    CorpusRandom random;
    SeedCorpusRandom(&random, CORPUS_SEED);
    char name[CORPUS_MAX_LENGTH + 2];
    unsigned long long written = 0;
    for (unsigned long long i = 0; bytes > 0 ? written < bytes : i < names; ++i) {
        size_t length = MakeNextName(&random, name, mix);
        name[length++] = '\n';
        if (std::fwrite(name, 1, length, out) != length) {
            std::perror(outputPath != nullptr ? outputPath : "stdout");
            return 1;
        }
        written += length;
    }
    if (std::fclose(out) != 0) {
        std::perror(outputPath != nullptr ? outputPath : "stdout");
        return 1;
    }
    return 0;
}

// A generated corpus of realistic Shift-JIS file names for the benchmark and
// for comparing the half-width job with nkf. The generator has its own
// random source, so a seed gives the same names on every compiler and
// standard library.
#pragma once

#include <cstdio>

#include "settings/settings.h"
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr uint64_t CORPUS_SEED = 0x426C616E6B6D656EULL;
constexpr size_t CORPUS_NAMES = 100000;
constexpr size_t CORPUS_MIN_LENGTH = 10;
constexpr size_t CORPUS_MAX_LENGTH = 200;

// Two mixes of characters, so that no figure holds for one mix only.
enum CorpusMix {
    // Mostly kanji and kana: ASCII letters and digits are three in ten
    // characters, a fifth of the bytes. ASCII punctuation among the
    // separators. 73 bytes a name on average.
    MIX_JAPANESE = 1,
    // Many more ASCII letters and digits: almost half the characters, a
    // third of the bytes. The rest kanji, kana of both widths, full-width
    // letters and digits, and blanks of both kinds as the only separators.
    // 67 bytes a name on average.
    MIX_ALNUM = 2,
    // Kana-heavy, for the katakana jobs: kanji, hiragana, katakana of both
    // widths (voiced pairs and lone marks among the half-width ones), ASCII
    // letters and digits, blanks and the marks 、・「」. No full-width
    // letters, digits or ASCII signs, which nkf -Z4 would narrow too.
    MIX_KANA = 3,
};

struct CorpusRandom {
    uint64_t state;
};

void SeedCorpusRandom(CorpusRandom* random, uint64_t seed);

// Writes a name of exactly length bytes (at most twice CORPUS_MAX_LENGTH)
// and its terminator into out, and returns its length. The name is whole
// characters: kanji, kana of both widths, letters and digits of both
// widths, both spaces and the punctuation that file names carry.
size_t MakeNameOfLength(CorpusRandom* random, char* out, size_t length,
                        CorpusMix mix = MIX_JAPANESE);

// The next name of the stream: its length is drawn from 10 to 200 bytes,
// most of them short, as in a real folder. Returns the length.
size_t MakeNextName(CorpusRandom* random, char* out, CorpusMix mix = MIX_JAPANESE);

// Names stored back to back, each with its terminator.
struct Corpus {
    std::vector<char> text;
    std::vector<size_t> offset;
    std::vector<size_t> length;
    size_t bytes; // sum of lengths, terminators not counted
};

// The first count names of the stream for seed.
Corpus MakeCorpus(size_t count, uint64_t seed, CorpusMix mix = MIX_JAPANESE);

// count names of exactly length bytes each, from the same mix.
Corpus MakeFixedLengthCorpus(size_t count, size_t length, uint64_t seed,
                             CorpusMix mix = MIX_JAPANESE);

// The half-width job as the program runs it: one settings word, digits and
// letters to half width, case kept.
constexpr SettingsWord HALF_WIDTH_JOB_WORD =
    OPT_DIGITS | OPT_DIGITS_TO_HALF | OPT_LETTERS | OPT_LETTERS_TO_HALF | OPT_CASE_KEEP;

// The katakana jobs: half-width katakana to full width (as nkf -X), and
// full-width katakana to half width (as nkf -Z4 -x), nothing else.
constexpr SettingsWord KANA_TO_FULL_JOB_WORD = OPT_KANA | OPT_KANA_TO_FULL;
constexpr SettingsWord KANA_TO_HALF_JOB_WORD = OPT_KANA | OPT_KANA_TO_HALF;

// The file at path opened in mode ("rb" or "wb"), or standard when path is
// null or "-". Says why on stderr and returns null when it cannot be opened.
FILE* OpenStream(const char* path, const char* mode, FILE* standard);

// Throughput of the conversions over a generated corpus of Shift-JIS names.
//
// Every iteration converts every name of a corpus once; every job runs on
// both mixes of corpus.h (mix1/, mix2/). Each name is first
// copied (terminator included) from the corpus into a NameBuffer, as batch
// renaming does, and that copy is part of the time measured; the "copy only"
// row shows its share. MB/s counts 10^6 bytes of input names per second,
// terminators not counted.
//
// At the end a summary prints the pipeline and half-width figures and the
// cost per byte of 250-byte names against 25-byte names of the same mix.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "convert/convert.h"
#include "convert/pipeline.h"
#include "convert/strings.h"
#include "corpus.h"

namespace {

typedef bool (*Job)(char* name, size_t capacity, SettingsWord word);

bool CopyOnly(char*, size_t, SettingsWord) { return true; }

bool Pipeline(char* name, size_t capacity, SettingsWord word)
{
    return ConvertNameWithWord(word, name, capacity);
}

bool HalfWidthJob(char* name, size_t capacity, SettingsWord)
{
    return ConvertNameWithWord(HALF_WIDTH_JOB_WORD, name, capacity);
}

bool Spaces(char* name, size_t, SettingsWord)
{
    SpacesToUnderbar(name);
    return true;
}

bool DigitsFull(char* name, size_t capacity, SettingsWord)
{
    return DigitsToFullWidth(name, capacity);
}

bool DigitsHalf(char* name, size_t, SettingsWord)
{
    DigitsToHalfWidth(name);
    return true;
}

bool LettersFull(char* name, size_t capacity, SettingsWord)
{
    return LettersToFullWidth(name, capacity);
}

bool LettersHalf(char* name, size_t, SettingsWord)
{
    LettersToHalfWidth(name);
    return true;
}

bool Upper(char* name, size_t, SettingsWord)
{
    LettersToUpper(name);
    return true;
}

bool Lower(char* name, size_t, SettingsWord)
{
    LettersToLower(name);
    return true;
}

bool Capitalize(char* name, size_t, SettingsWord)
{
    CapitalizeWords(name);
    return true;
}

// Every conversion: spaces, digits to full then to half, and each of the
// three letter widths followed by upper, lower and capitalise.
constexpr SettingsWord EVERY_CONVERSION = 0xFFF; // bits 0-11: no katakana job

// The most the dialog can select: spaces, digits to half width, letters to
// half width, capitalise; and the same towards full width.
constexpr SettingsWord DIALOG_ALL_TO_HALF =
    OPT_SPACES | OPT_DIGITS | OPT_DIGITS_TO_HALF | OPT_LETTERS | OPT_LETTERS_TO_HALF | OPT_CASE_CAPITALIZE;
constexpr SettingsWord DIALOG_ALL_TO_FULL =
    OPT_SPACES | OPT_DIGITS | OPT_DIGITS_TO_FULL | OPT_LETTERS | OPT_LETTERS_TO_FULL | OPT_CASE_CAPITALIZE;

// Linearity runs in a bigger buffer so that the widening conversions of a
// 250-byte name always fit and do their whole work.
constexpr size_t LONG_BUFFER_SIZE = 1024;

Corpus g_mixes[2];
Corpus g_short;
Corpus g_long;

template <size_t BufferSize>
void RunJob(benchmark::State& state, const Corpus* corpus, Job job, SettingsWord word)
{
    char buffer[BufferSize];
    const char* text = corpus->text.data();
    const size_t count = corpus->offset.size();
    size_t noFit = 0;
    for (auto _ : state) {
        for (size_t i = 0; i < count; ++i) {
            std::memcpy(buffer, text + corpus->offset[i], corpus->length[i] + 1);
            if (!job(buffer, sizeof buffer, word))
                ++noFit;
            benchmark::DoNotOptimize(buffer);
            benchmark::ClobberMemory();
        }
    }
    const double runs = static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(runs * static_cast<double>(corpus->bytes)));
    state.SetItemsProcessed(static_cast<int64_t>(runs * static_cast<double>(count)));
    // Share of names whose widened result would not fit the buffer: those
    // are left unchanged (or, in the pipeline, stopped there).
    state.counters["no_fit"] = static_cast<double>(noFit) / (runs * static_cast<double>(count));
}

struct Named {
    const char* name;
    Job job;
};

const Named SINGLE_CONVERSIONS[] = {
    {"SpacesToUnderbar", Spaces},
    {"DigitsToFullWidth", DigitsFull},
    {"DigitsToHalfWidth", DigitsHalf},
    {"LettersToFullWidth", LettersFull},
    {"LettersToHalfWidth", LettersHalf},
    {"LettersToUpper", Upper},
    {"LettersToLower", Lower},
    {"CapitalizeWords", Capitalize},
};

template <size_t BufferSize>
void Add(const std::string& name, const Corpus* corpus, Job job, SettingsWord word)
{
    benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
        RunJob<BufferSize>(state, corpus, job, word);
    });
}

void RegisterAll()
{
    for (int m = 0; m < 2; ++m) {
        const Corpus* names = &g_mixes[m];
        const std::string mix = m == 0 ? "mix1/" : "mix2/";
        Add<NAME_BUFFER_SIZE>(mix + "copy_only", names, CopyOnly, 0);
        Add<NAME_BUFFER_SIZE>(mix + "pipeline/every_conversion_0xFFF", names, Pipeline, EVERY_CONVERSION);
        Add<NAME_BUFFER_SIZE>(mix + "pipeline/dialog_all_to_half_0x897", names, Pipeline, DIALOG_ALL_TO_HALF);
        Add<NAME_BUFFER_SIZE>(mix + "pipeline/dialog_all_to_full_0x84F", names, Pipeline, DIALOG_ALL_TO_FULL);
        Add<NAME_BUFFER_SIZE>(mix + "pipeline/default_0x131", names, Pipeline, DEFAULT_SETTINGS);
        Add<NAME_BUFFER_SIZE>(mix + "half_width_job", names, HalfWidthJob, 0);
        for (const Named& c : SINGLE_CONVERSIONS)
            Add<NAME_BUFFER_SIZE>(mix + "single/" + c.name, names, c.job, 0);
    }

    const Named whole[] = {
        {"every_conversion_0xFFF", Pipeline},
        {"half_width_job", HalfWidthJob},
    };
    for (const Corpus* corpus : {&g_short, &g_long}) {
        const std::string suffix = "/" + std::to_string(corpus->length[0]);
        for (const Named& c : whole)
            Add<LONG_BUFFER_SIZE>("linear/" + std::string(c.name) + suffix, corpus, c.job, EVERY_CONVERSION);
        for (const Named& c : SINGLE_CONVERSIONS)
            Add<LONG_BUFFER_SIZE>("linear/" + std::string(c.name) + suffix, corpus, c.job, 0);
    }
}

struct Result {
    std::string name;
    double bytesPerSecond;
};

// The console table, then a summary that reads the targets off it.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    SummaryReporter() : benchmark::ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            auto it = run.counters.find("bytes_per_second");
            if (run.run_type == Run::RT_Iteration && !run.error_occurred && it != run.counters.end())
                results_.push_back({run.benchmark_name(), it->second.value});
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\nSummary (MB/s = 10^6 input bytes per second, copy into a %zu-byte buffer included)\n",
                    NAME_BUFFER_SIZE);
        for (const Result& r : results_) {
            if (r.name.compare(0, 7, "linear/") == 0)
                continue;
            const double mbs = r.bytesPerSecond / 1e6;
            const std::string job = r.name.substr(r.name.find('/') + 1);
            double target = 0;
            if (job == "pipeline/default_0x131" || job == "half_width_job")
                target = 1000;
            else if (job == "pipeline/every_conversion_0xFFF")
                target = 500;
            char verdict[64] = "";
            if (target > 0)
                std::snprintf(verdict, sizeof verdict, "  (target >= %.0f MB/s: %s)", target,
                              mbs >= target ? "met" : "MISSED");
            std::printf("  %-40s %9.1f MB/s%s\n", r.name.c_str(), mbs, verdict);
        }

        std::printf("\nLinearity: ns per byte on %zu-byte and %zu-byte names of the same mix"
                    " (target: ratio <= 2)\n",
                    g_short.length[0], g_long.length[0]);
        const std::string shortSuffix = "/" + std::to_string(g_short.length[0]);
        const std::string longSuffix = "/" + std::to_string(g_long.length[0]);
        for (const Result& s : results_) {
            if (s.name.compare(0, 7, "linear/") != 0 || s.name.size() < shortSuffix.size() ||
                s.name.compare(s.name.size() - shortSuffix.size(), shortSuffix.size(), shortSuffix) != 0)
                continue;
            const std::string stem = s.name.substr(0, s.name.size() - shortSuffix.size());
            for (const Result& l : results_) {
                if (l.name != stem + longSuffix)
                    continue;
                const double shortCost = 1e9 / s.bytesPerSecond;
                const double longCost = 1e9 / l.bytesPerSecond;
                const double ratio = longCost / shortCost;
                std::printf("  %-30s %7.3f ns/B  %7.3f ns/B  ratio %5.2f  %s\n", stem.c_str() + 7, shortCost,
                            longCost, ratio, ratio <= 2.0 ? "linear" : "NOT LINEAR");
            }
        }
        std::fflush(stdout);
    }

private:
    std::vector<Result> results_;
};

} // namespace

int main(int argc, char** argv)
{
    g_mixes[0] = MakeCorpus(CORPUS_NAMES, CORPUS_SEED, MIX_JAPANESE);
    g_mixes[1] = MakeCorpus(CORPUS_NAMES, CORPUS_SEED, MIX_ALNUM);
    // Same number of bytes in both, so that both stay equally warm in cache.
    g_short = MakeFixedLengthCorpus(10000, 25, CORPUS_SEED + 1);
    g_long = MakeFixedLengthCorpus(1000, 250, CORPUS_SEED + 2);
    for (int m = 0; m < 2; ++m)
        std::printf("corpus mix%d: %zu names, %zu bytes (%.1f bytes a name)\n", m + 1,
                    g_mixes[m].offset.size(), g_mixes[m].bytes,
                    static_cast<double>(g_mixes[m].bytes) / static_cast<double>(g_mixes[m].offset.size()));
    std::printf("linearity (mix1): %zu x %zu bytes, %zu x %zu bytes\n", g_short.offset.size(),
                g_short.length[0], g_long.offset.size(), g_long.length[0]);

    RegisterAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

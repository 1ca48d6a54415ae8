// Regular-expression search over a 256 MiB generated text, line by line as
// the buffer search does, counting the lines that match (what `grep -c`
// counts). To time grep on the same bytes, have the text written to a file
// that the run leaves in place:
//
//   ZVX_REGEX_BENCH_FILE=FILE bench_regex_bench
//   cat FILE > /dev/null; time grep -E -c '^[A-Za-z]+:' FILE
//   time grep -E -c '[0-9]+\.[0-9]+' FILE
//
// ZVX_REGEX_BENCH_MIB sets another size. The counters report the matching
// lines so the two programs can be seen to agree.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "text/regex.h"

namespace {

struct Corpus {
    std::string text;
    std::vector<uint32_t> line_starts;  // offset of every line; one past the end last
    std::string path;

    Corpus() {
        size_t mib = 256;
        if (const char* e = std::getenv("ZVX_REGEX_BENCH_MIB")) mib = std::strtoul(e, nullptr, 10);
        const size_t size = mib << 20;
        static const char* const words[] = {
            "the",    "editor", "search",  "buffer", "line",   "window", "macro",  "regular",
            "pattern", "match", "replace", "cursor", "column", "page",   "store",  "spill",
            "undo",   "redo",   "select",  "block",  "event",  "key",    "font",   "colour",
        };
        constexpr int kWords = sizeof words / sizeof words[0];
        uint64_t seed = 0x9E3779B97F4A7C15ull;
        auto next = [&seed]() {
            seed ^= seed << 13;
            seed ^= seed >> 7;
            seed ^= seed << 17;
            return seed;
        };
        text.reserve(size + 256);
        while (text.size() < size) {
            line_starts.push_back(static_cast<uint32_t>(text.size()));
            uint64_t r = next();
            int n = 4 + static_cast<int>(r % 9);
            if (r % 10 == 0) {  // one line in ten opens with "word:"
                text += words[(r >> 8) % kWords];
                text += ':';
            } else if (r % 10 == 1) {
                text += "    ";
            }
            for (int i = 0; i < n; ++i) {
                uint64_t w = next();
                text += ' ';
                if (w % 23 == 0) {  // now and then a number, one in three with a fraction
                    text += std::to_string(w % 10000);
                    if ((w >> 20) % 3 == 0) {
                        text += '.';
                        text += std::to_string((w >> 32) % 1000);
                    }
                } else {
                    text += words[(w >> 8) % kWords];
                }
            }
            text += '\n';
        }
        line_starts.push_back(static_cast<uint32_t>(text.size()));
        const char* keep = std::getenv("ZVX_REGEX_BENCH_FILE");
        path = keep && *keep ? keep : "FILE";
        if (FILE* f = keep && *keep ? std::fopen(path.c_str(), "wb") : nullptr) {
            std::fwrite(text.data(), 1, text.size(), f);
            std::fclose(f);
        }
    }
};

const Corpus& corpus() {
    static Corpus c;
    return c;
}

struct BenchPattern {
    const char* own;   // what the bench compiles, own syntax
    const char* ere;   // the same for grep -E
};
const BenchPattern kPatterns[] = {
    {"^[A-Za-z]#\\:", "^[A-Za-z]+:"},          // an anchored word (a colon is \\: here)
    {"[0-9]#\\.[0-9]#", "[0-9]+\\.[0-9]+"},   // a class with a closure
};

void BM_RegexSearch(benchmark::State& state) {
    const Corpus& c = corpus();
    const BenchPattern& p = kPatterns[state.range(0)];
    RegexState st;
    if (re_compile(st, p.own, 1, 0, 0) != 0) {
        state.SkipWithError("pattern does not compile");
        return;
    }
    const uint8_t* base = reinterpret_cast<const uint8_t*>(c.text.data());
    const size_t lines = c.line_starts.size() - 1;
    int64_t matched = 0;
    for (auto _ : state) {
        matched = 0;
        for (size_t i = 0; i < lines; ++i) {
            uint32_t s = c.line_starts[i];
            int len = static_cast<int>(c.line_starts[i + 1] - s - 1);  // without the LF
            if (re_search(st, 1, base + s, len) > 0) ++matched;
        }
        benchmark::DoNotOptimize(matched);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(c.text.size()));
    state.counters["lines_matched"] = static_cast<double>(matched);
    state.SetLabel(std::string("grep -E -c '") + p.ere + "' " + c.path);
}
BENCHMARK(BM_RegexSearch)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

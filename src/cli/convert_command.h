#pragma once

struct JobSettings;

// kelditra [options] FILE.wav...: one conversion job per file, as the
// dialog's convert button runs it.
int RunConvertCommand(int argc, char** argv);

// The search options the conversion and the report share.
inline constexpr const char* kSearchOptionsUsage =
    "  --reference    search with the plain exhaustive search, about a hundred times\n"
    "                 slower; the fast search gives the same results\n"
    "  --threads N    threads for the fast search and the spectra (default: every core)\n"
    "  --simd NAME    instruction set of the fast search: avx512, avx2, sse2 or portable\n"
    "                 (default: $KELDITRA_SIMD if set, else the best this processor runs)\n";

enum class SearchOptionRead { kNotOne, kRead, kBad };

// Reads --reference, --threads N or --simd NAME at argv[*i] into settings,
// stepping *i over its value. kBad once stderr says what is wrong with it.
SearchOptionRead ReadSearchOption(int argc, char** argv, int* i, JobSettings* settings);

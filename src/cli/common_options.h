#pragma once

#include <string>

#include "cli/batch.h"
#include "cli/options.h"

namespace kelditra {

struct JobSettings;
struct SearchSettings;

// The options several subcommands share, spelt and explained once.
inline constexpr OptionSpec kTableOption = {
    "--table", nullptr, "PATH", "a path",
    "voice table (default: fm_table2.dat in this folder)"};
inline constexpr OptionSpec kOutputFolderOption = {
    "--output-dir", "-o", "DIR", "a folder",
    "write into DIR, not beside each WAV file; FILE.dat\n"
    "and FILE.bin are looked for there first"};
inline constexpr OptionSpec kJsonOption = {
    "--json", nullptr, nullptr, nullptr,
    "one JSON object per file, a line each (JSON\n"
    "Lines), instead of FILE: MESSAGE; the detail and\n"
    "the warnings go into it, not to stderr"};
inline constexpr OptionSpec kQuietOption = {"--quiet", "-q", nullptr, nullptr, "no progress bar"};
inline constexpr OptionSpec kReferenceOption = {
    "--reference", nullptr, nullptr, nullptr,
    "the plain exhaustive search: the same results,\n"
    "about a hundred times slower"};
inline constexpr OptionSpec kThreadsOption = {
    "--threads", nullptr, "N", "a number from 1 to 256",
    "threads of the fast search (default: every core)"};
inline constexpr OptionSpec kSimdOption = {
    "--simd", nullptr, "NAME", "avx512, avx2, sse2 or portable",
    "the fast search's instruction set: avx512, avx2,\n"
    "sse2 or portable (default: $KELDITRA_SIMD, else\n"
    "the best this processor runs)"};

// What every file's line says, and the exit statuses, for the help.
inline constexpr const char* kOutcomeHelp =
    "Each file ends with one line, FILE: MESSAGE, in Japanese under a Japanese\n"
    "locale and in English otherwise; after a failure one more line on stderr\n"
    "tells what was found and what to do. Files named *.preview.wav are skipped.\n"
    "The exit status is 0 when every file went well, 1 when any failed, 2 for a\n"
    "usage error, 130 when Ctrl-C stopped the run.";

// The folder of --output-dir (empty when not given) and how outcomes are
// shown; a problem for a usage error, else empty.
std::string ReadOutputOptions(const ParsedArguments& parsed, Language language,
                              std::string* output_folder, BatchOptions* batch);

// --table, --output-dir and the search options of a command that runs the
// search; a problem for a usage error, else empty.
std::string ReadJobOptions(const CommandSpec& command, const ParsedArguments& parsed,
                           Language language, JobSettings* settings, BatchOptions* batch);

// --reference, --threads and --simd into settings; a problem, else empty.
std::string ReadSearchOptions(const CommandSpec& command, const ParsedArguments& parsed,
                              SearchSettings* settings);

}  // namespace kelditra

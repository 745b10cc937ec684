#pragma once

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace kelditra {

// One option of a subcommand, as its help shows it and its parser reads it.
struct OptionSpec {
  const char* name;        // "--table"
  const char* short_name;  // "-q", or nullptr
  const char* value_name;  // "PATH" in the help; nullptr for a switch
  const char* value_noun;  // "a path", in "--table needs a path"
  const char* help;        // lines after the first start with a newline
};

// What a subcommand is, for its parser, its help and the main help.
struct CommandSpec {
  const char* name;         // "pitch"; "convert" for the conversion
  const char* synopsis;     // what follows "kelditra NAME "
  const char* summary;      // one line in the main help
  const char* description;  // the paragraph under the usage line
  std::vector<OptionSpec> options;
  const char* outcome;      // what each file's line says and the exit statuses
  bool needs_files = true;  // false: the command has a file of its own to go on
};

// A parsed command line: the switches given, the options' values (the last of
// each), the files in order.
struct ParsedArguments {
  std::set<std::string> switches;
  std::map<std::string, std::string> values;
  std::vector<std::string> files;
  bool help = false;

  bool Has(const std::string& name) const { return switches.count(name) + values.count(name) > 0; }
  std::string Value(const std::string& name, const std::string& otherwise = "") const;
};

// Reads arguments[1..] against the command's options: "--opt value",
// "--opt=value", short names, and "--" before files that begin with '-'.
// --help and -h are every command's. Returns the problem for a usage error,
// empty when all is well.
std::string ParseArguments(const CommandSpec& command, int argc, char** argv,
                           ParsedArguments* parsed);

// Says what is wrong, with the usage line and where to read more; returns the
// usage error's exit status.
int UsageError(const CommandSpec& command, const std::string& problem);

// The problem text for an option whose value is missing or wrong.
std::string NeedsValueProblem(const OptionSpec& option);
const OptionSpec* FindOption(const CommandSpec& command, const std::string& name);

void PrintCommandHelp(const CommandSpec& command, std::FILE* stream);

// The program's name as the command line is typed: "kelditra" or "kelditra pitch".
std::string CommandName(const CommandSpec& command);

}  // namespace kelditra

#include "cli/options.h"

#include <algorithm>

#include "cli/exit_status.h"

namespace kelditra {

namespace {

const OptionSpec kHelpOption = {"--help", "-h", nullptr, nullptr, "show this text"};

const OptionSpec* Lookup(const CommandSpec& command, const std::string& name) {
  if (name == kHelpOption.name || name == kHelpOption.short_name) return &kHelpOption;
  for (const OptionSpec& option : command.options) {
    if (name == option.name || (option.short_name != nullptr && name == option.short_name)) {
      return &option;
    }
  }
  return nullptr;
}

void PrintOption(const OptionSpec& option, std::FILE* stream) {
  std::string left = "  ";
  if (option.short_name != nullptr) left += std::string(option.short_name) + ", ";
  left += option.name;
  if (option.value_name != nullptr) left += std::string(" ") + option.value_name;
  constexpr size_t kHelpColumn = 24;
  left.resize(std::max(left.size() + 1, kHelpColumn), ' ');
  std::string help = option.help;
  for (size_t at = 0; (at = help.find('\n', at)) != std::string::npos; at += kHelpColumn + 1) {
    help.insert(at + 1, kHelpColumn, ' ');
  }
  std::fprintf(stream, "%s%s\n", left.c_str(), help.c_str());
}

}  // namespace

std::string ParsedArguments::Value(const std::string& name, const std::string& otherwise) const {
  const auto found = values.find(name);
  return found == values.end() ? otherwise : found->second;
}

std::string CommandName(const CommandSpec& command) {
  return std::string("kelditra") +
         (std::string(command.name) == "convert" ? "" : std::string(" ") + command.name);
}

const OptionSpec* FindOption(const CommandSpec& command, const std::string& name) {
  return Lookup(command, name);
}

std::string NeedsValueProblem(const OptionSpec& option) {
  return std::string(option.name) + " needs " + option.value_noun;
}

std::string ParseArguments(const CommandSpec& command, int argc, char** argv,
                           ParsedArguments* parsed) {
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (options_ended || argument.size() < 2 || argument[0] != '-') {
      parsed->files.push_back(argument);
      continue;
    }
    if (argument == "--") {
      options_ended = true;
      continue;
    }
    const size_t equals = argument.rfind("--", 0) == 0 ? argument.find('=') : std::string::npos;
    const std::string name = argument.substr(0, equals);
    const OptionSpec* option = Lookup(command, name);
    if (option == nullptr) return "unknown option " + name;
    if (option == &kHelpOption) {
      parsed->help = true;
    } else if (option->value_name == nullptr) {
      if (equals != std::string::npos) return std::string(option->name) + " takes no value";
      parsed->switches.insert(option->name);
    } else if (equals != std::string::npos) {
      const std::string value = argument.substr(equals + 1);
      if (value.empty()) return NeedsValueProblem(*option);
      parsed->values[option->name] = value;
    } else {
      if (i + 1 == argc) return NeedsValueProblem(*option);
      parsed->values[option->name] = argv[++i];
    }
  }
  if (!parsed->help && parsed->files.empty() && command.needs_files) return "no WAV file given";
  return {};
}

int UsageError(const CommandSpec& command, const std::string& problem) {
  const std::string name = CommandName(command);
  std::fprintf(stderr, "%s: %s\nusage: %s %s\nTry 'kelditra help %s' for more.\n", name.c_str(),
               problem.c_str(), name.c_str(), command.synopsis, command.name);
  return kExitUsage;
}

void PrintCommandHelp(const CommandSpec& command, std::FILE* stream) {
  std::fprintf(stream, "usage: %s %s\n\n%s\n\noptions:\n", CommandName(command).c_str(),
               command.synopsis, command.description);
  for (const OptionSpec& option : command.options) PrintOption(option, stream);
  PrintOption(kHelpOption, stream);
  std::fprintf(stream, "\n%s\n", command.outcome);
}

}  // namespace kelditra

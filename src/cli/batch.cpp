#include "cli/batch.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "cli/console.h"
#include "cli/exit_status.h"
#include "cli/interrupt.h"
#include "formats/paths.h"

namespace {

int ExitStatusOf(OutcomeKind kind) {
  switch (kind) {
    case OutcomeKind::kDone:
    case OutcomeKind::kKept:
    case OutcomeKind::kSkipped:
      return kExitAllFinished;
    case OutcomeKind::kFailed:
      return kExitSomeFailed;
    case OutcomeKind::kCancelled:
    case OutcomeKind::kNotStarted:
      return kExitInterrupted;
  }
  return kExitSomeFailed;
}

const char* KindName(OutcomeKind kind) {
  switch (kind) {
    case OutcomeKind::kDone:
      return "done";
    case OutcomeKind::kKept:
      return "kept";
    case OutcomeKind::kSkipped:
      return "skipped";
    case OutcomeKind::kFailed:
      return "failed";
    case OutcomeKind::kCancelled:
      return "cancelled";
    case OutcomeKind::kNotStarted:
      return "not started";
  }
  return "";
}

std::string JsonString(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (byte < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", byte);
      quoted += escape;
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

std::string JsonNumber(double value, const char* format) {
  if (value < 0) return "null";
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string JsonObject(const std::string& file, const FileOutcome& outcome) {
  std::string warnings = "[";
  for (const std::string& warning : outcome.warnings) {
    if (warnings.size() > 1) warnings += ',';
    warnings += JsonString(warning);
  }
  warnings += "]";
  return "{\"path\":" + JsonString(file) +
         ",\"outcome\":" + JsonString(KindName(outcome.kind)) +
         ",\"exit_status\":" + std::to_string(ExitStatusOf(outcome.kind)) +
         ",\"message\":" + JsonString(outcome.message) +
         ",\"detail\":" + (outcome.detail.empty() ? "null" : JsonString(outcome.detail)) +
         ",\"warnings\":" + warnings +
         ",\"frames\":" + JsonNumber(static_cast<double>(outcome.frames), "%.0f") +
         ",\"voiced_frames\":" + JsonNumber(static_cast<double>(outcome.voiced_frames), "%.0f") +
         ",\"sound_seconds\":" + JsonNumber(outcome.sound_seconds, "%.3f") +
         ",\"seconds_taken\":" + JsonNumber(outcome.seconds_taken, "%.3f") + "}\n";
}

FileOutcome OutcomeBeforeStart(const std::string& file, Language language) {
  FileOutcome outcome;
  if (Interrupted()) {
    outcome.kind = OutcomeKind::kNotStarted;
    outcome.message = Say(language, "not started: stopped by Ctrl-C",
                          "Ctrl-C で中止したため開始していません");
  } else if (IsPreviewName(TrimTrailingWhiteSpace(file))) {
    outcome.kind = OutcomeKind::kSkipped;
    outcome.message = Say(language, "skipped: a preview that kelditra preview made",
                          "スキップしました：kelditra preview が作ったプレビューです");
  }
  return outcome;
}

}  // namespace

FileOutcome FailedOutcome(const std::string& message) {
  FileOutcome outcome;
  outcome.kind = OutcomeKind::kFailed;
  outcome.message = message;
  return outcome;
}

int RunBatch(const std::vector<std::string>& files, const BatchOptions& options,
             const std::function<FileOutcome(const std::string& file)>& run_one) {
  InstallInterruptHandler();
  int status = kExitAllFinished;
  for (const std::string& file : files) {
    FileOutcome outcome = OutcomeBeforeStart(file, options.language);
    if (outcome.message.empty()) {
      const auto start = std::chrono::steady_clock::now();
      outcome = run_one(file);
      outcome.seconds_taken =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    if (options.json) {
      WriteOut(JsonObject(file, outcome));
    } else {
      WriteOut(file + ": " + outcome.message + "\n");
    }
    const std::string prefix = "kelditra: ";
    if (!outcome.detail.empty()) WriteErr(prefix + outcome.detail + "\n");
    for (const std::string& warning : outcome.warnings) {
      WriteErr(prefix + Say(options.language, "warning: ", "警告：") + warning + "\n");
    }
    // 130 outranks 1, which outranks 0.
    status = std::max(status, ExitStatusOf(outcome.kind));
  }
  return status;
}

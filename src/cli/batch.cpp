#include "cli/batch.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "cli/console.h"
#include "cli/exit_status.h"
#include "cli/interrupt.h"
#include "formats/paths.h"

namespace kelditra {

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

// The length of the well-formed UTF-8 sequence at text[at], 0 when there is
// none: a stray continuation byte, a sequence cut short, an overlong form, a
// surrogate, a code point past U+10FFFF.
size_t Utf8SequenceLength(const std::string& text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  }
  return length;
}

// A JSON string of text. A Linux name may hold any byte but '/' and NUL,
// UTF-8 or not; a byte that is no part of well-formed UTF-8 is written as the
// escaped lone surrogate U+DC00 + byte, as Python's file-system decoding
// does, so that a reader gets the very name back (os.fsencode).
std::string JsonString(const std::string& text) {
  std::string quoted = "\"";
  for (size_t at = 0; at < text.size();) {
    const auto byte = static_cast<unsigned char>(text[at]);
    const size_t length = Utf8SequenceLength(text, at);
    char escape[8];
    if (byte == '"' || byte == '\\') {
      quoted += '\\';
      quoted += text[at];
    } else if (byte < 0x20 || length == 0) {
      std::snprintf(escape, sizeof escape, "\\u%04x", length == 0 ? 0xDC00 + byte : byte);
      quoted += escape;
    } else {
      quoted.append(text, at, length);
    }
    at += length == 0 ? 1 : length;
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
    // The object holds the detail and the warnings already.
    const std::string prefix = "kelditra: ";
    if (!options.json && !outcome.detail.empty()) WriteErr(prefix + outcome.detail + "\n");
    for (const std::string& warning : options.json ? std::vector<std::string>{} : outcome.warnings) {
      WriteErr(prefix + Say(options.language, "warning: ", "警告：") + warning + "\n");
    }
    // 130 outranks 1, which outranks 0.
    status = std::max(status, ExitStatusOf(outcome.kind));
  }
  return status;
}

}  // namespace kelditra

#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/voice_match.h"
#include "io/platform_file.h"

// A prepared voice table kept between the jobs of one run, so a batch of
// files loads and prepares its table once. Preparation only depends on the
// file's bytes, so a table kept from the same unchanged file serves exactly
// as a fresh one would. The dialog never keeps one: each of its jobs loads
// the table anew.
class KeptVoiceTable {
 public:
  // The kept table, if it was prepared from the file at path as it is now;
  // nullptr otherwise.
  const PreparedVoiceTable* Find(const std::string& path, const FileIdentity& identity) const;

  // Copies a freshly prepared table out of the job's memory, which the job
  // releases at its end.
  void Keep(const std::string& path, const FileIdentity& identity, const PreparedVoiceTable& table);

 private:
  std::string path_;
  FileIdentity identity_;
  std::vector<uint8_t> entries_;
  std::vector<uint8_t> skip_flags_;
  std::vector<int32_t> entry_sums_;
  PreparedVoiceTable table_{};
  bool holds_table_ = false;
};

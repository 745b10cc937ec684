#include "job/kept_voice_table.h"

#include "formats/voice_table.h"

const PreparedVoiceTable* KeptVoiceTable::Find(const std::string& path,
                                               const FileIdentity& identity) const {
  if (!holds_table_ || path != path_ || !(identity == identity_)) return nullptr;
  return &table_;
}

void KeptVoiceTable::Keep(const std::string& path, const FileIdentity& identity,
                          const PreparedVoiceTable& table) {
  path_ = path;
  identity_ = identity;
  // The prepared entries fill the first half of the loaded block.
  entries_.assign(table.entries, table.entries + int64_t{kVoiceCount} * kPreparedEntryValues * 2);
  skip_flags_.assign(table.skip_flags, table.skip_flags + kVoiceCount);
  entry_sums_.assign(table.entry_sums, table.entry_sums + kVoiceCount);
  table_ = {entries_.data(), skip_flags_.data(), entry_sums_.data()};
  holds_table_ = true;
}

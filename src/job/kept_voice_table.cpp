#include "job/kept_voice_table.h"

namespace kelditra {

PreparedTable* KeptVoiceTable::Find(const std::string& path, const FileIdentity& identity) const {
  if (table_ == nullptr || path != path_ || !(identity == identity_)) return nullptr;
  return table_.get();
}

PreparedTable& KeptVoiceTable::Keep(const std::string& path, const FileIdentity& identity,
                                    std::unique_ptr<PreparedTable> table) {
  path_ = path;
  identity_ = identity;
  table->KeepEntries();
  table_ = std::move(table);
  return *table_;
}

}  // namespace kelditra

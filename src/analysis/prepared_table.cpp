#include "analysis/prepared_table.h"

#include "formats/voice_table.h"

namespace kelditra {

PreparedTable::PreparedTable(uint8_t* block, LargeBlockAllocator allocator)
    : entries_(block), skip_flags_(kVoiceCount), entry_sums_(kVoiceCount), allocator_(allocator) {
  PrepareVoiceTable(block, skip_flags_.data(), entry_sums_.data());
}

void PreparedTable::KeepEntries() {
  if (!kept_entries_.empty()) return;
  // The prepared entries fill the first half of the loaded block.
  kept_entries_.assign(entries_, entries_ + int64_t{kVoiceCount} * kPreparedEntryValues * 2);
  entries_ = kept_entries_.data();
}

const std::shared_ptr<const fast::FastSearchLayout>& PreparedTable::Layout() {
  if (!layout_made_) {
    layout_ = fast::PrepareFastSearch(view(), allocator_);
    layout_made_ = true;
  }
  return layout_;
}

}  // namespace kelditra

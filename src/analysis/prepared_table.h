#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "analysis/fast_layout.h"
#include "analysis/voice_match.h"

namespace kelditra {

// A voice table prepared for matching, and the one owner of everything made
// from it: the skip flags and entry sums, the entries themselves (in the
// block they were prepared in, or a copy of their own once the table must
// outlive that block), and the fast search's layout, made on first use and
// shared by every search over the table.
class PreparedTable {
 public:
  // Prepares a loaded table of kVoiceTableBytes in place. The block must
  // outlive the table, or KeepEntries be called before it goes. The layout's
  // largest array comes from allocator.
  explicit PreparedTable(uint8_t* block, LargeBlockAllocator allocator = PlainAllocator());
  PreparedTable(const PreparedTable&) = delete;
  PreparedTable& operator=(const PreparedTable&) = delete;

  PreparedVoiceTable view() const { return {entries_, skip_flags_.data(), entry_sums_.data()}; }

  // Copies the prepared entries out of the block they were prepared in.
  // Searches hold the entries' address, so this comes before any search.
  void KeepEntries();

  // The fast search's layout of this table (nullptr: the table's sums are
  // outside what it takes). Made on the first call only.
  const std::shared_ptr<const fast::FastSearchLayout>& Layout();
  bool has_layout() const { return layout_made_; }

 private:
  const uint8_t* entries_;
  std::vector<uint8_t> kept_entries_;
  std::vector<uint8_t> skip_flags_;
  std::vector<int32_t> entry_sums_;
  LargeBlockAllocator allocator_;
  std::shared_ptr<const fast::FastSearchLayout> layout_;
  bool layout_made_ = false;
};

}  // namespace kelditra

#pragma once

#include <memory>
#include <string>

#include "analysis/prepared_table.h"
#include "io/platform_file.h"

namespace kelditra {

// A prepared voice table kept between the jobs of one run, so that a batch of
// files loads, prepares and lays out its table once. Preparation depends only
// on the file's bytes, so a table kept from the same unchanged file serves
// exactly as a fresh one would. The dialog never keeps one: each of its jobs
// loads the table anew.
class KeptVoiceTable {
 public:
  // The kept table, if it was prepared from the file at path as it is now;
  // nullptr otherwise.
  PreparedTable* Find(const std::string& path, const FileIdentity& identity) const;

  // Takes a freshly prepared table over, its entries copied out of the job's
  // memory, which the job releases at its end.
  PreparedTable& Keep(const std::string& path, const FileIdentity& identity,
                      std::unique_ptr<PreparedTable> table);

 private:
  std::string path_;
  FileIdentity identity_;
  std::unique_ptr<PreparedTable> table_;
};

}  // namespace kelditra

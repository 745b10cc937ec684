#include "io/file_problem.h"

#include <sys/stat.h>

#include <cstring>

#include "io/platform_file.h"

namespace kelditra {

std::string SystemErrorText(int64_t system_error) {
  return std::strerror(static_cast<int>(system_error));
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of(kFolderSeparators);
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool IsFolder(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace kelditra

#include "report/page_template.h"

namespace kelditra {

std::string FillTemplate(std::string_view skeleton, const TemplateValues& values) {
  std::string filled;
  size_t at = 0;
  while (at < skeleton.size()) {
    const size_t open = skeleton.find("{{", at);
    const size_t close = open == std::string_view::npos ? open : skeleton.find("}}", open + 2);
    if (close == std::string_view::npos) break;
    const std::string_view name = skeleton.substr(open + 2, close - open - 2);
    filled += skeleton.substr(at, open - at);
    bool known = false;
    for (const auto& [key, value] : values) {
      if (key == name) {
        filled += value;
        known = true;
        break;
      }
    }
    if (!known) filled += skeleton.substr(open, close + 2 - open);
    at = close + 2;
  }
  filled += skeleton.substr(at);
  return filled;
}

}  // namespace kelditra

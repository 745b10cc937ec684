#include "progress/progress_text.h"

#include <cstdint>

#include "resources/messages.h"

namespace kelditra {

std::string ProgressText(double percent) {
  const int32_t whole = static_cast<int32_t>(percent);
  const int32_t thousandths = static_cast<int32_t>((percent - whole) * 1000.0);
  // 1000 + f has four digits; dropping the first keeps f's leading zeros.
  const std::string digits = std::to_string(thousandths + 1000).substr(1);
  return MessageText(MessageId::kProgressPrefix) + std::to_string(whole) + "." + digits + "%";
}

}  // namespace kelditra

#pragma once

#include <string>

namespace kelditra {

// The progress window's text for a percentage: "進行率 " (UTF-8, as the
// window converts it), the whole part, a point, three digits cut off (never rounded)
// and "%". percent is at least 0 and below 100.
std::string ProgressText(double percent);

}  // namespace kelditra

#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelditra {

using TemplateValues = std::vector<std::pair<std::string_view, std::string_view>>;

// The skeleton with each {{name}} replaced by its value, in one pass: a value
// is never searched for markers itself, so a title or a script may hold
// braces. A marker without a value is left as it stands, for a test to see.
std::string FillTemplate(std::string_view skeleton, const TemplateValues& values);

}  // namespace kelditra

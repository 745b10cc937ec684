#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "progress/progress_text.h"

namespace kelditra {

namespace {

// Both parts are cut, never rounded; the three digits keep their leading
// zeros. 7.3 - 7 is just below 0.3 in double precision.
TEST(ProgressText, WholePartPointThreeTruncatedDigitsPercent) {
  const std::pair<double, const char*> cases[] = {
      {0.0, "0.000"},        {12.3456, "12.345"}, {7.3, "7.299"},     {99.99995, "99.999"},
      {0.0009999, "0.000"},  {0.5, "0.500"},      {5.0625, "5.062"},  {10.001, "10.000"},
      {33.0999, "33.099"},   {50.0, "50.000"},    {98.3606557, "98.360"},
  };
  for (const auto& [percent, number] : cases) {
    EXPECT_EQ(ProgressText(percent), std::string("進行率 ") + number + "%") << percent;
  }
}

}  // namespace

}  // namespace kelditra

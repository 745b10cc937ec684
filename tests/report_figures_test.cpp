#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "formats/parameter_file.h"
#include "report/base64.h"
#include "report/bin_comparison.h"
#include "report/error_scale.h"
#include "report/report_spectrogram.h"

namespace {

std::vector<uint8_t> BinOf(const std::vector<ReportFrame>& frames) {
  std::vector<uint8_t> bytes;
  for (const ReportFrame& frame : frames) {
    for (int32_t field : {frame.voice / 16, frame.frequency, frame.gain, frame.voice % 16}) {
      for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<uint8_t>(field >> shift));
    }
  }
  return bytes;
}

// Ten frames, the first two silent; a .bin is written from a copy with some
// frames changed, and compared with the originals.
TEST(ReportFigures, BinComparisonSaysHowTheBinDiffers) {
  std::vector<ReportFrame> frames(10);
  for (int32_t i = 0; i < 10; ++i) frames[i] = {200, 1000 + 17 * i, 400, 3000, 0, -1, false, i < 2, {}, {}};
  const struct {
    const char* what;
    std::vector<int32_t> changed;  // frames whose gain the .bin does not share
    int32_t drop_bytes;            // cut from the end of the .bin
    BinAgreement agreement;
  } cases[] = {
      {"identical", {}, 0, BinAgreement::kSame},
      {"half the sounding frames", {2, 3, 4, 5}, 0, BinAgreement::kSomeDiffer},
      {"most sounding frames", {2, 3, 4, 5, 6}, 0, BinAgreement::kMostDiffer},
      {"one record short", {}, 16, BinAgreement::kOtherLength},
  };
  for (const auto& c : cases) {
    std::vector<ReportFrame> written = frames;
    for (int32_t i : c.changed) written[i].gain = 1234;
    std::vector<uint8_t> bin = BinOf(written);
    bin.resize(bin.size() - c.drop_bytes);
    const BinComparison comparison = CompareWithBin(bin.data(), static_cast<int32_t>(bin.size()), frames);
    EXPECT_EQ(comparison.agreement, c.agreement) << c.what;
    EXPECT_EQ(comparison.differing_frames, c.changed) << c.what;
    for (const ParameterRecord& record : comparison.bin_records) EXPECT_EQ(record.gain, 1234) << c.what;
  }
  EXPECT_EQ(CompareWithBin(nullptr, -1, frames).agreement, BinAgreement::kNoBin);
}

TEST(ReportFigures, ErrorIsScaledBySilence) {
  // Silence leaves every compared value whole: (800 / 8)^3 and (80 / 8)^3.
  const std::vector<int32_t> target = {800, 80, 0};
  EXPECT_EQ(SilenceError(target), 100 * 100 * 100 + 10 * 10 * 10);
  EXPECT_NEAR(ResidualDecibels(1'001'000, 1'001'000), 0.0, 1e-9);
  EXPECT_NEAR(ResidualDecibels(1'001, 1'001'000), -20.0, 1e-9);  // a tenth the size
  EXPECT_TRUE(std::isnan(ResidualDecibels(0, 0)));
}

TEST(ReportFigures, SpectrogramFindsATone) {
  // A full-scale 1 kHz sine: 0 dB in the row nearest 1 kHz, far less elsewhere.
  std::vector<int16_t> samples(735 * 4);
  for (size_t n = 0; n < samples.size(); ++n)
    samples[n] = static_cast<int16_t>(32767 * std::sin(2 * 3.141592653589793 * 1000 * n / 44100));
  const std::vector<float> levels = SpectrogramDecibels(samples, 4);
  const int32_t row = static_cast<int32_t>(std::lround(1000 / kSpectrogramRowHz));
  const float* column = &levels[2 * kSpectrogramRows];
  EXPECT_NEAR(column[row], 0.0, 1.5);
  EXPECT_LT(column[3 * row], -60.0);
  const std::vector<uint8_t> bytes = SpectrogramBytes(levels, column[row]);
  EXPECT_EQ(bytes[2 * kSpectrogramRows + row], 255);
  EXPECT_EQ(bytes[2 * kSpectrogramRows + 3 * row], 0);
}

TEST(ReportFigures, Base64) {
  for (const auto& [plain, encoded] : std::vector<std::pair<std::string, std::string>>{
           {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foobar", "Zm9vYmFy"}}) {
    EXPECT_EQ(Base64(reinterpret_cast<const uint8_t*>(plain.data()), plain.size()), encoded);
  }
}

}  // namespace

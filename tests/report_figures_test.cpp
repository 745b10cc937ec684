#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "formats/parameter_file.h"
#include "report/base64.h"
#include "report/bin_comparison.h"
#include "report/error_scale.h"
#include "report/match_report.h"
#include "report/report_spectrogram.h"
#include "report/report_summary.h"

namespace kelditra {

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

// fundamental, voice, gain, error; silent frames have silence error 0.
ReportFrame Frame(int32_t fundamental, int32_t voice, int32_t gain, int64_t error, bool silent) {
  return {fundamental, voice, fundamental, gain, error, -1, false, silent, {}, {}};
}

TEST(ReportFigures, SummaryOfTheWholeSound) {
  // Residuals -6.67, +2.01 (worse than silence) and -20 dB; the silent
  // frames keep the first voice tried, 1, whatever their pitch.
  const std::vector<ReportFrame> sung = {Frame(0, 1, 0, 0, true), Frame(200, 500, 3000, 100, false),
                                         Frame(0, 600, 5000, 2000, false), Frame(210, 500, 3000, 10, false),
                                         Frame(220, 1, 0, 0, true)};
  // No pitch: the loudest frame opens. Two sounding frames: the median lies
  // between them. The silent frames got different records.
  const std::vector<ReportFrame> unpitched = {Frame(0, 7, 0, 0, true), Frame(0, 9, 400, 1, false),
                                              Frame(0, 8, 0, 0, true), Frame(0, 9, 900, 1000, false)};
  const struct {
    std::vector<ReportFrame> frames;
    std::vector<int64_t> silence;
    // frames, unpitched, silent, silent unpitched, silent voice, gain and
    // alike, entries, sounding, worse than silence, mean error, error
    // ratio, median residual, opening frame
    std::vector<double> expected;
  } cases[] = {
      {{}, {}, {0, 0, 0, 0, -1, 0, 0, 0, 0, 0, 0, 0, 0, -1}},
      {sung, {0, 1000, 1000, 10000, 0}, {5, 2, 2, 1, 1, 0, 2, 3, 3, 1, 422, 2110.0 / 12000, -20.0 / 3, 1}},
      {unpitched, {0, 1000, 0, 1000}, {4, 4, 2, 2, 7, 0, 1, 3, 2, 0, 250.25, 1001.0 / 2000, -10, 3}},
  };
  for (const auto& c : cases) {
    const MatchSummary s = Summarise(c.frames, c.silence);
    const std::vector<double> figures = {
        double(s.frames), double(s.unpitched), double(s.silent), double(s.silent_unpitched),
        double(s.silent_voice), double(s.silent_gain), double(s.silent_alike), double(s.entries_used),
        double(s.sounding), double(s.worse_than_silence), s.mean_error, s.error_ratio,
        s.median_residual_db, double(OpeningFrame(c.frames))};
    ASSERT_EQ(figures.size(), c.expected.size());
    for (size_t k = 0; k < figures.size(); ++k) {
      EXPECT_NEAR(figures[k], c.expected[k], 1e-9) << c.frames.size() << " frames, figure " << k;
    }
  }
}

TEST(ReportFigures, SizesInWords) {
  const std::pair<double, const char*> cases[] = {
      {-22.8, "about 1/14 the size of"}, {-20.0, "about 1/10 the size of"},
      {-3.0, "over half the size of"},   {0.2, "about the size of"},
      {6.9, "about 2.2 times the size of"}, {30.0, "about 32 times the size of"},
  };
  for (const auto& [decibels, words] : cases) EXPECT_EQ(SizeInWords(decibels), words) << decibels;
}

// Every marker of the page's skeleton has its value, whatever the title
// holds; the summary names the silent frames' record as the file holds it
// and says why a match can be worse than silence.
TEST(ReportFigures, PageSaysWhatTheFileHolds) {
  MatchReportContent content;
  content.title = "{{data}} <b>&";
  content.silence_errors = {0, 1000, 1000};
  const std::string page = RenderMatchReport(
      content, {Frame(0, 1, 0, 0, true), Frame(200, 5, 900, 10, false), Frame(0, 6, 900, 2000, false)});
  size_t markers = 0;
  for (size_t at = page.find("{{"); at != std::string::npos; at = page.find("{{", at + 2)) ++markers;
  EXPECT_EQ(markers, 2u);  // the title's own, in <title> and <h1>
  for (const char* text : {"<h1>{{data}} &lt;b&gt;&amp;</h1>", "they are recorded as voice 1 at gain 0,",
                           "In 1 of the 2 frames that sound, the chosen voice leaves more than silence would:"}) {
    EXPECT_NE(page.find(text), std::string::npos) << text;
  }
}

}  // namespace

}  // namespace kelditra

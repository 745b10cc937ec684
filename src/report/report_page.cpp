#include "report/report_page.h"

#include <algorithm>

#include "analysis/frame_spectra.h"
#include "formats/byte_order.h"
#include "formats/parameter_file.h"
#include "preview/preview_synthesis.h"
#include "report/error_scale.h"
#include "report/match_report.h"
#include "report/report_audio.h"
#include "report/report_spectrogram.h"

namespace kelditra {

namespace {

std::vector<ParameterRecord> ChosenRecords(const std::vector<ReportFrame>& frames) {
  std::vector<ParameterRecord> records;
  records.reserve(frames.size());
  for (const ReportFrame& frame : frames) {
    records.push_back(RecordOf(frame.voice, frame.frequency, frame.gain));
  }
  return records;
}

}  // namespace

ReportPage BuildReportPage(const ReportSources& sources, const std::vector<ReportFrame>& frames) {
  const int32_t frame_count = static_cast<int32_t>(frames.size());
  MatchReportContent content;
  content.title = sources.title;
  for (const ReportFrame& frame : frames) content.silence_errors.push_back(SilenceError(frame.target));
  content.bin = CompareWithBin(sources.bin, sources.bin_length, frames);

  std::vector<int16_t> original(static_cast<size_t>(frame_count) * kFrameLength);
  for (size_t n = 0; n < original.size(); ++n) {
    original[n] = static_cast<int16_t>(ReadLittle16(sources.samples + 2 * n));
  }
  const std::vector<int16_t> preview =
      SynthesizePreview(ChosenRecords(frames), sources.prepared_table, &content.preview_clipped);
  content.original_audio = WaveDataUri(ReduceToPageRate(original));
  content.preview_audio = WaveDataUri(ReduceToPageRate(preview));

  const std::vector<float> original_levels = SpectrogramDecibels(original, frame_count);
  const std::vector<float> preview_levels = SpectrogramDecibels(preview, frame_count);
  const double top_db = original_levels.empty()
                            ? 0.0
                            : *std::max_element(original_levels.begin(), original_levels.end());
  content.original_spectrogram = SpectrogramBytes(original_levels, top_db);
  content.preview_spectrogram = SpectrogramBytes(preview_levels, top_db);

  ReportPage page;
  page.html = RenderMatchReport(content, frames);
  switch (content.bin.agreement) {
    case BinAgreement::kNoBin: page.disagreeing_records = -1; break;
    case BinAgreement::kOtherLength: page.disagreeing_records = frame_count; break;
    default: page.disagreeing_records = static_cast<int32_t>(content.bin.differing_frames.size());
  }
  return page;
}

}  // namespace kelditra

#include "report/report_file.h"

#include <memory>
#include <vector>

#include "analysis/gain_ladder.h"
#include "formats/parameter_file.h"
#include "formats/paths.h"
#include "formats/pitch_track.h"
#include "formats/voice_table.h"
#include "job/conversion_inputs.h"
#include "job/frame_search.h"
#include "io/pool.h"
#include "io/whole_file.h"
#include "report/report_page.h"

namespace kelditra {

namespace {

// The conversion's own loads and checks, in its order and with its refusals,
// then the existing FILE.bin, which is optional: it is only compared with.
Failure LoadInputs(const ReportRequest& request, ConversionInputs* inputs,
                   uint8_t** records, int32_t* records_length) {
  if (Failure failure = LoadConversionInputs(
          request.wave_path, FindMadeFile(request.wave_path, request.output_folder, ".dat"),
          request.voice_table_path, nullptr, inputs)) {
    return failure;
  }
  int32_t length = 0;
  if (!LoadFile(FindMadeFile(request.wave_path, request.output_folder, ".bin"),
                sizeof(ParameterRecord), records, &length)) {
    *records_length = length;
  }
  return {};
}

ReportFrame Describe(const FrameSpectra& spectra, const RankedMatch& ranked, const uint8_t* table,
                     const int32_t* ladder) {
  ReportFrame frame;
  const BestMatch& best = ranked.best;
  frame.fundamental = spectra.fundamental;
  frame.voice = best.voice;
  frame.frequency = best.frequency;
  frame.gain = ladder[best.gain_index];
  frame.error = best.error == INT64_MAX ? 0 : best.error;
  frame.runner_up_error = ranked.runner_up_error == INT64_MAX ? -1 : ranked.runner_up_error;
  frame.harmonic = MatchesHarmonicSpectrum(best.voice);
  frame.silent = spectra.harmonic_sum == 0 && spectra.half_harmonic_sum == 0;
  const int32_t* target = frame.harmonic ? spectra.harmonic : spectra.half_harmonic;
  const uint16_t* entry = PreparedEntry(table, best.voice);
  for (int32_t j = 0; j < kPreparedEntryValues; ++j) {
    frame.target.push_back(target[2 * j]);
    frame.scaled.push_back((entry[j] * frame.gain) >> 12);
  }
  return frame;
}

ReportOutcome Report(const ReportRequest& request) {
  ReportOutcome outcome;
  ConversionInputs in;
  uint8_t* records = nullptr;
  int32_t records_length = -1;
  outcome.failure = LoadInputs(request, &in, &records, &records_length);
  if (outcome.failure) return outcome;
  outcome.counts = CountSound(in);

  std::unique_ptr<PreparedTable> fresh_table;
  PreparedTable& table = PrepareLoadedTable(&in.table, &fresh_table);
  FrameSearch search(table, request.search);
  int32_t ladder[kGainSteps];
  BuildGainLadder(ladder);

  const int32_t frame_count = in.frame_count;
  std::vector<ReportFrame> frames;
  frames.reserve(static_cast<size_t>(frame_count));
  for (int32_t frame = 0; frame < frame_count; ++frame) {
    const int32_t fundamental = FrameFundamental(in.pitch_track, in.pitch_track_length, frame);
    const FrameSpectra spectra = search.Spectra(in.samples.data, frame, fundamental);
    frames.push_back(
        Describe(spectra, search.MatchRanked(spectra, ladder), table.view().entries, ladder));
    if (request.progress) request.progress(frame + 1, frame_count);
  }

  const ReportPage page = BuildReportPage(
      {request.wave_path, in.samples.data, table.view().entries, records, records_length}, frames);
  outcome.disagreeing_records = page.disagreeing_records;
  outcome.report_path = MadeFilePath(request.wave_path, request.output_folder, ".report.html");
  outcome.failure =
      SaveFile(page.html.data(), static_cast<uint32_t>(page.html.size()), outcome.report_path);
  outcome.frames = frame_count;
  return outcome;
}

}  // namespace

ReportOutcome WriteReportFile(const ReportRequest& request) {
  ReportOutcome outcome = Report(request);
  PoolAlloc(0);
  return outcome;
}

}  // namespace kelditra

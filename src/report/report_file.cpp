#include "report/report_file.h"

#include <optional>
#include <vector>

#include "analysis/fast_match.h"
#include "analysis/gain_ladder.h"
#include "formats/byte_order.h"
#include "formats/parameter_file.h"
#include "formats/paths.h"
#include "formats/pitch_track.h"
#include "formats/voice_table.h"
#include "formats/wave_reader.h"
#include "io/pool.h"
#include "io/whole_file.h"
#include "report/match_report.h"
#include "resources/messages.h"

namespace {

struct Inputs {
  uint8_t* table = nullptr;
  uint8_t* pitch_track = nullptr;
  int32_t pitch_track_length = 0;
  WaveSamples samples;
  uint8_t* records = nullptr;  // the existing FILE.bin, if any
  int32_t records_length = -1;
};

// The conversion's own loads and checks, in its order and with its messages.
std::string LoadInputs(const ReportRequest& request, Inputs* in) {
  int32_t table_length = 0;
  std::string message = LoadFile(request.voice_table_path, 0, &in->table, &table_length);
  if (!message.empty()) return message;
  if (table_length < kVoiceTableBytes) return MessageText(MessageId::kBadVoiceTableSize);
  message = LoadFile(FindMadeFile(request.wave_path, request.output_folder, ".dat"),
                     kPitchTrackExtraBytes, &in->pitch_track,
                     &in->pitch_track_length);
  if (!message.empty()) return message;
  uint8_t* wave = nullptr;
  int32_t wave_length = 0;
  message = LoadFile(request.wave_path, kWaveExtraBytes, &wave, &wave_length);
  if (!message.empty()) return message;
  message = ReadWave(wave, wave_length, &in->samples);
  if (!message.empty()) return message;
  if (in->samples.count / kFrameLength > kRecordCapacity) {
    return MessageText(MessageId::kWaveTooLong);
  }
  // The .bin is optional: it is only compared with.
  int32_t length = 0;
  if (LoadFile(FindMadeFile(request.wave_path, request.output_folder, ".bin"),
               sizeof(ParameterRecord), &in->records, &length)
          .empty()) {
    in->records_length = length;
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

bool RecordDiffers(const uint8_t* records, int32_t frame, const ReportFrame& chosen) {
  const uint8_t* record = records + int64_t{frame} * sizeof(ParameterRecord);
  return static_cast<int32_t>(ReadLittle32(record)) != chosen.voice / 16 ||
         static_cast<int32_t>(ReadLittle32(record + 4)) != chosen.frequency ||
         static_cast<int32_t>(ReadLittle32(record + 8)) != chosen.gain ||
         static_cast<int32_t>(ReadLittle32(record + 12)) != chosen.voice % 16;
}

ReportOutcome Report(const ReportRequest& request) {
  ReportOutcome outcome;
  Inputs in;
  outcome.message = LoadInputs(request, &in);
  if (!outcome.message.empty()) return outcome;

  PrepareVoiceTable(in.table);
  const PreparedVoiceTable table{in.table, gSkipFlags, gEntrySums};
  // Laid out for every freshly prepared table, as a conversion does, so that
  // no later search in the process finds a stale layout.
  PrepareFastSearch(table);
  std::optional<FastSearch> fast;
  if (!request.reference_search) {
    fast.emplace(table, FastSearchOptions{request.threads, ChooseSimdLevel(request.simd, nullptr)});
  }
  int32_t ladder[kGainSteps];
  BuildGainLadder(ladder);

  const int32_t frame_count = in.samples.count / kFrameLength;
  const bool compare = in.records_length == frame_count * static_cast<int32_t>(sizeof(ParameterRecord));
  outcome.disagreeing_records = compare ? 0 : (in.records_length < 0 ? -1 : frame_count);
  std::vector<ReportFrame> frames;
  frames.reserve(static_cast<size_t>(frame_count));
  for (int32_t frame = 0; frame < frame_count; ++frame) {
    const int32_t fundamental = FrameFundamental(in.pitch_track, in.pitch_track_length, frame);
    const FrameSpectra spectra = fast
                                     ? fast->ComputeFrameSpectra(in.samples.data, frame, fundamental)
                                     : ComputeFrameSpectra(in.samples.data, frame, fundamental);
    const RankedMatch ranked =
        fast ? fast->MatchFrameRanked(spectra, ladder) : MatchFrameRanked(spectra, table, ladder);
    frames.push_back(Describe(spectra, ranked, in.table, ladder));
    if (compare && RecordDiffers(in.records, frame, frames.back())) ++outcome.disagreeing_records;
    if (request.progress) request.progress(frame + 1, frame_count);
  }

  const std::string html = RenderMatchReport(request.wave_path, frames);
  outcome.report_path = MadeFilePath(request.wave_path, request.output_folder, ".report.html");
  if (SaveFile(html.data(), static_cast<uint32_t>(html.size()), outcome.report_path) != 0) {
    outcome.message = MessageText(MessageId::kWriteFailed);
  }
  outcome.frames = frame_count;
  return outcome;
}

}  // namespace

ReportOutcome WriteReportFile(const ReportRequest& request) {
  ReportOutcome outcome = Report(request);
  PoolAlloc(0);
  return outcome;
}

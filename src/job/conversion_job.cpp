#include "job/conversion_job.h"

#include <cstdint>
#include <memory>

#include "analysis/frame_spectra.h"
#include "analysis/gain_ladder.h"
#include "formats/parameter_file.h"
#include "formats/pitch_track.h"
#include "job/conversion_inputs.h"
#include "job/frame_search.h"
#include "io/pool.h"

namespace kelditra {

namespace {

constexpr int64_t kTickIntervalMs = 100;

enum class Outcome { kEnded, kCancelled };

// One progress tick; false when the job must stop.
bool TakeProgressTick(JobHost& host, int64_t frame_start, int32_t sample_count) {
  if (gCancelFlag == 1) return false;
  gProgressPercent = frame_start / static_cast<double>(sample_count + kFrameLength) * 100.0;
  if (gProgressWindow != nullptr) host.RefreshProgressWindow(gProgressWindow);
  while (host.HasPendingMessage()) {
    if (!host.PumpOneMessage()) {
      host.PostQuit();
      break;
    }
  }
  return true;
}

// Steps from the loads to the written parameter file. The failure stays
// kNone while all goes well.
Outcome Convert(JobHost& host, const JobSettings& settings, const std::string& path,
                JobResult* result) {
  ConversionInputs inputs;
  result->failure = LoadConversionInputs(path, FindMadeFile(path, settings.output_folder, ".dat"),
                                         settings.voice_table_path, settings.kept_table, &inputs);
  if (result->failure) return Outcome::kEnded;
  result->counts = CountSound(inputs);
  const int32_t frame_count = inputs.frame_count;
  const int32_t sample_count = frame_count * kFrameLength;

  RecordArray records;
  ClearRecordArray(records, frame_count);
  std::unique_ptr<PreparedTable> fresh_table;
  PreparedTable& table = PrepareLoadedTable(&inputs.table, &fresh_table);
  // The fast search's threads live until the job returns, on every path.
  FrameSearch search(table, settings.search);

  host.FrameLoopStarting(frame_count);
  gProgressWindow = host.CreateProgressWindow();
  gCancelFlag = 0;
  gBusyFlag = 1;
  int64_t last_tick = host.ProcessClockMs();

  int32_t ladder[kGainSteps];
  int32_t record_count = 0;
  for (int64_t frame_start = 0; frame_start < sample_count; frame_start += kFrameLength) {
    const int32_t frame = static_cast<int32_t>(frame_start / kFrameLength);
    const int32_t fundamental =
        FrameFundamental(inputs.pitch_track, inputs.pitch_track_length, frame);
    const FrameSpectra spectra = search.Spectra(inputs.samples.data, frame, fundamental);
    BuildGainLadder(ladder);
    const BestMatch best = search.Match(spectra, ladder);
    StoreRecord(records, frame, best.voice, best.frequency, ladder[best.gain_index]);
    ++record_count;

    if (host.ProcessClockMs() > last_tick + kTickIntervalMs) {
      if (!TakeProgressTick(host, frame_start, sample_count)) return Outcome::kCancelled;
      last_tick = host.ProcessClockMs();
    }
  }

  result->failure =
      WriteParameterFile(records, MadeFilePath(path, settings.output_folder, ""), record_count);
  return Outcome::kEnded;
}

}  // namespace

JobResult RunConversionJob(JobHost& host, const JobSettings& settings) {
  JobResult result;
  if (gBusyFlag == 1) {
    result.failure.kind = FailureKind::kBusy;
    return result;
  }
  if (!host.HasPerformanceCounter()) {
    result.failure.kind = FailureKind::kNoPerformanceCounter;
    host.ShowOutcome(result.failure);
    return result;
  }
  const std::string path = TrimTrailingWhiteSpace(host.PathFieldText());
  if (!HasWaveExtension(path)) {
    result.failure = FileFailure(FailureKind::kNotWaveFile, path);
    host.ShowOutcome(result.failure);
    return result;
  }

  host.InputsLoading();
  if (Convert(host, settings, path, &result) == Outcome::kCancelled) {
    // Whoever raised the cancel flag has already taken the window down.
    PoolAlloc(0);
    result.failure = InRole(
        FileFailure(FailureKind::kCancelled, MadeFilePath(path, settings.output_folder, ".bin")),
        FileRole::kOutput);
    host.ShowOutcome(result.failure);
    gBusyFlag = 0;
    return result;
  }

  if (gProgressWindow != nullptr) host.DestroyProgressWindow(gProgressWindow);
  gProgressWindow = nullptr;
  PoolAlloc(0);
  host.ShowOutcome(result.failure);
  gBusyFlag = 0;
  return result;
}

}  // namespace kelditra

#include "job/conversion_job.h"

#include <cstdint>
#include <optional>

#include "analysis/fast_match.h"
#include "analysis/frame_spectra.h"
#include "analysis/gain_ladder.h"
#include "analysis/voice_match.h"
#include "formats/parameter_file.h"
#include "formats/pitch_track.h"
#include "formats/voice_table.h"
#include "formats/wave_reader.h"
#include "job/kept_voice_table.h"
#include "io/platform_file.h"
#include "io/pool.h"
#include "io/whole_file.h"
#include "resources/messages.h"

namespace {

constexpr int64_t kTickIntervalMs = 100;

enum class Outcome { kEnded, kCancelled };

// The loaded inputs of one job; every pointer but a kept table's is a pool
// block.
struct JobInputs {
  uint8_t* voice_table = nullptr;
  const PreparedVoiceTable* kept_table = nullptr;  // already prepared, by an earlier job
  FileIdentity table_identity;                     // size -1: not known
  uint8_t* pitch_track = nullptr;
  int32_t pitch_track_length = 0;
  WaveSamples samples;
};

std::string LoadVoiceTable(const JobSettings& settings, JobInputs* inputs) {
  KeptVoiceTable* kept = settings.kept_table;
  const std::string& path = settings.voice_table_path;
  if (kept != nullptr && IdentityOf(path.c_str(), &inputs->table_identity)) {
    inputs->kept_table = kept->Find(path, inputs->table_identity);
    if (inputs->kept_table != nullptr) return {};
  }
  int32_t table_length = 0;
  std::string message = LoadFile(path, 0, &inputs->voice_table, &table_length);
  if (!message.empty()) return message;
  // Preparation and search address every entry; a short table would send
  // them past the block.
  if (table_length < kVoiceTableBytes) return MessageText(MessageId::kBadVoiceTableSize);
  return {};
}

std::string LoadInputs(const JobSettings& settings, const std::string& path, JobInputs* inputs) {
  std::string message = LoadVoiceTable(settings, inputs);
  if (!message.empty()) return message;

  message = LoadFile(FindMadeFile(path, settings.output_folder, ".dat"), kPitchTrackExtraBytes,
                     &inputs->pitch_track, &inputs->pitch_track_length);
  if (!message.empty()) return message;

  uint8_t* wave = nullptr;
  int32_t wave_length = 0;
  message = LoadFile(path, kWaveExtraBytes, &wave, &wave_length);
  if (!message.empty()) return message;
  return ReadWave(wave, wave_length, &inputs->samples);
}

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

// Steps from the loads to the written parameter file. The message text stays
// empty while all goes well.
Outcome Convert(JobHost& host, const JobSettings& settings, const std::string& path,
                std::string* message) {
  JobInputs inputs;
  *message = LoadInputs(settings, path, &inputs);
  if (!message->empty()) return Outcome::kEnded;

  const int32_t frame_count = inputs.samples.count / kFrameLength;
  if (frame_count > kRecordCapacity) {
    *message = MessageText(MessageId::kWaveTooLong);
    return Outcome::kEnded;
  }
  const int32_t sample_count = frame_count * kFrameLength;

  ClearRecordArray();
  PreparedVoiceTable table{inputs.voice_table, gSkipFlags, gEntrySums};
  if (inputs.kept_table != nullptr) {
    table = *inputs.kept_table;
  } else {
    PrepareVoiceTable(inputs.voice_table);
    if (settings.kept_table != nullptr && inputs.table_identity.size >= 0) {
      settings.kept_table->Keep(settings.voice_table_path, inputs.table_identity, table);
    }
  }
  // The fast search's layout follows every freshly prepared table, so that a
  // table kept from the job before can keep the layout made from it.
  if (inputs.kept_table == nullptr || !FastSearchPreparedFor(table)) PrepareFastSearch(table);
  // The fast search's threads live until the job returns, on every path.
  std::optional<FastSearch> fast;
  if (!settings.reference_search) {
    const SimdLevel simd = ChooseSimdLevel(settings.simd, nullptr);
    fast.emplace(table, FastSearchOptions{settings.threads, simd});
  }

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
    const FrameSpectra spectra =
        fast ? fast->ComputeFrameSpectra(inputs.samples.data, frame, fundamental)
             : ComputeFrameSpectra(inputs.samples.data, frame, fundamental);
    BuildGainLadder(ladder);
    const BestMatch best =
        fast ? fast->MatchFrame(spectra, ladder) : MatchFrame(spectra, table, ladder);
    StoreRecord(frame, best.voice, best.frequency, ladder[best.gain_index]);
    ++record_count;

    if (host.ProcessClockMs() > last_tick + kTickIntervalMs) {
      if (!TakeProgressTick(host, frame_start, sample_count)) return Outcome::kCancelled;
      last_tick = host.ProcessClockMs();
    }
  }

  if (WriteParameterFile(MadeFilePath(path, settings.output_folder, ""), record_count) != 0) {
    *message = MessageText(MessageId::kWriteFailed);
  }
  return Outcome::kEnded;
}

}  // namespace

void RunConversionJob(JobHost& host, const JobSettings& settings) {
  if (gBusyFlag == 1) return;
  if (!host.HasPerformanceCounter()) {
    host.ShowMessage(MessageText(MessageId::kNoPerformanceCounter), kStyleExclamation);
    return;
  }
  const std::string path = TrimTrailingWhiteSpace(host.PathFieldText());
  if (!HasWaveExtension(path)) {
    host.ShowMessage(MessageText(MessageId::kNotWaveFile), kStyleExclamation);
    return;
  }

  std::string message;
  host.InputsLoading();
  if (Convert(host, settings, path, &message) == Outcome::kCancelled) {
    // Whoever raised the cancel flag has already taken the window down.
    PoolAlloc(0);
    host.ShowMessage(MessageText(MessageId::kCancelled), kStylePlain);
    gBusyFlag = 0;
    return;
  }

  if (gProgressWindow != nullptr) host.DestroyProgressWindow(gProgressWindow);
  gProgressWindow = nullptr;
  PoolAlloc(0);
  if (message.empty()) message = MessageText(MessageId::kFinished);
  host.ShowMessage(message, kStylePlain);
  gBusyFlag = 0;
}

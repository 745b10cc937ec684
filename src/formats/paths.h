#pragma once

#include <string>

// The voice table's fixed name, looked up in the current directory.
inline constexpr const char* kVoiceTableName = "fm_table2.dat";

// The path field's text without its trailing white space.
std::string TrimTrailingWhiteSpace(const std::string& text);

// Whether the last four bytes are ".wav" in any letter case.
bool HasWaveExtension(const std::string& path);

// The WAV path less its last four characters ".wav": the pitch track, the
// parameter file and every other output lie at this plus their extension.
std::string BasePathOf(const std::string& wave_path);

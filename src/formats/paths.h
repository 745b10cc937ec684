#pragma once

#include <string>

namespace kelditra {

// The voice table's fixed name, looked up in the current directory.
inline constexpr const char* kVoiceTableName = "fm_table2.dat";

// What `kelditra preview` names the sound it makes of FILE.wav's conversion.
inline constexpr const char* kPreviewSuffix = ".preview.wav";

// The path field's text without its trailing white space.
std::string TrimTrailingWhiteSpace(const std::string& text);

// Whether the last four bytes are ".wav" in any letter case.
bool HasWaveExtension(const std::string& path);

// Whether the name is one a preview got, "FILE.preview.wav" in any case.
bool IsPreviewName(const std::string& path);

// The path of what is made from the WAV file at wave_path (".wav" included)
// with the extension given: beside it, or in output_folder when one is named.
std::string MadeFilePath(const std::string& wave_path, const std::string& output_folder,
                         const std::string& extension);

// The same for a file to be read: the one in output_folder when it is there,
// else the one beside the WAV file, so that files made into a folder and
// files brought beside the sound both serve.
std::string FindMadeFile(const std::string& wave_path, const std::string& output_folder,
                         const std::string& extension);

}  // namespace kelditra

#include "resource_check.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <utility>

#include "window_probe.h"

namespace {

// Each dialog template as Describe writes it: the dialog, then one line per
// control. Control classes are atoms: #128 button, #129 edit, #130 static.
const std::pair<int, std::vector<const char*>> kDialogs[] = {
    {102,
     {"extended 1 FFFF, style 90C800C0 ex 00040000 at 0,0 241x120, menu '' class '' "
      "caption 'Kelditra', font 9 0 0 1 'MS UI Gothic', 5 controls",
      "id FFFFFFFF #130 'ＷＡＶＥファイル' style 50020000 ex 00000000 at 20,15 90x8",
      "id 000003E8 #129 '' style 50810080 ex 00000000 at 20,25 140x22",
      "id 000003E9 #128 '参照' style 50010000 ex 00000000 at 180,25 40x22",
      "id 000003EA #128 '変換' style 50010000 ex 00000000 at 20,70 50x30",
      "id 000003EB #128 '終了' style 50010000 ex 00000000 at 170,70 50x30"}},
    {129,
     {"extended 1 FFFF, style 80C800C8 ex 00000000 at 0,0 186x60, menu '' class '' "
      "caption 'Dialog', font 8 400 0 1 'MS Shell Dlg', 2 controls",
      "id FFFFFFFF #130 '' style 50020000 ex 00000000 at 7,7 150x12",
      "id 000003E9 #128 'キャンセル' style 50010000 ex 00000000 at 129,33 50x20"}},
};

// Little-endian fields of a resource, bounds-checked.
class Cursor {
 public:
  Cursor(const uint8_t* begin, size_t size) : begin_(begin), at_(begin), end_(begin + size) {}

  bool ok() const { return ok_; }
  uint32_t Take(int bytes) {
    if (end_ - at_ < bytes) {
      ok_ = false;
      return 0;
    }
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= static_cast<uint32_t>(at_[i]) << (8 * i);
    at_ += bytes;
    return value;
  }
  std::string Hex(int bytes) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", 2 * bytes, static_cast<unsigned>(Take(bytes)));
    return text;
  }
  // x,y cxXcy, as four signed words.
  std::string Rectangle() {
    int16_t v[4];
    for (int16_t& value : v) value = static_cast<int16_t>(Take(2));
    return std::to_string(v[0]) + "," + std::to_string(v[1]) + " " + std::to_string(v[2]) + "x" +
           std::to_string(v[3]);
  }
  void AlignToDword() {
    while ((at_ - begin_) % 4 != 0 && at_ < end_) ++at_;
  }
  // A quoted UTF-8 string, or an ordinal after 0xFFFF as "#n".
  std::string StringOrOrdinal() {
    const uint16_t first = static_cast<uint16_t>(Take(2));
    std::string shown(1, first == 0xFFFF ? '#' : '\'');
    if (first == 0xFFFF) return shown.append(std::to_string(Take(2)));
    std::wstring text;
    for (uint16_t c = first; ok_ && c != 0; c = static_cast<uint16_t>(Take(2))) text.push_back(c);
    char utf8[1024] = {};
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                          utf8, sizeof utf8, nullptr, nullptr);
    shown.append(utf8, bytes > 0 ? bytes : 0).push_back('\'');
    return shown;
  }

 private:
  const uint8_t* begin_;
  const uint8_t* at_;
  const uint8_t* end_;
  bool ok_ = true;
};

// The raw bytes of resource (type, id) in the Japanese language.
bool FindJapaneseResource(HMODULE module, LPCSTR type, int id, const uint8_t** bytes,
                          size_t* size) {
  HRSRC found = FindResourceExA(module, type, MAKEINTRESOURCEA(id),
                                MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
  HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  *bytes = loaded != nullptr ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
  *size = *bytes != nullptr ? SizeofResource(module, found) : 0;
  return *bytes != nullptr;
}

// An extended dialog template, line by line; help ids are left out.
std::vector<std::string> Describe(const uint8_t* bytes, size_t size) {
  Cursor in(bytes, size);
  const uint32_t version = in.Take(2);
  const std::string signature = in.Hex(2);
  in.Take(4);
  const std::string ex_style = in.Hex(4), style = in.Hex(4);
  const uint32_t count = in.Take(2);
  const std::string at = in.Rectangle(), menu = in.StringOrOrdinal(),
                    window_class = in.StringOrOrdinal(), caption = in.StringOrOrdinal();
  const uint32_t points = in.Take(2), weight = in.Take(2), italic = in.Take(1),
                 charset = in.Take(1);
  const std::string face = in.StringOrOrdinal();
  std::vector<std::string> lines = {
      "extended " + std::to_string(version) + " " + signature + ", style " + style + " ex " +
      ex_style + " at " + at + ", menu " + menu + " class " + window_class + " caption " +
      caption + ", font " + std::to_string(points) + " " + std::to_string(weight) + " " +
      std::to_string(italic) + " " + std::to_string(charset) + " " + face + ", " +
      std::to_string(count) + " controls"};
  for (uint32_t i = 0; i < count && in.ok(); ++i) {
    in.AlignToDword();
    in.Take(4);
    const std::string control_ex_style = in.Hex(4), control_style = in.Hex(4),
                      control_at = in.Rectangle(), id = in.Hex(4), kind = in.StringOrOrdinal(),
                      text = in.StringOrOrdinal();
    lines.push_back("id " + id + " " + kind + " " + text + " style " + control_style + " ex " +
                    control_ex_style + " at " + control_at);
    for (uint32_t extra = in.Take(2); extra > 0; --extra) in.Take(1);
  }
  if (!in.ok()) lines.push_back("(the template ends early)");
  return lines;
}

}  // namespace

std::vector<std::string> CheckDialogTemplates(const std::string& exe) {
  HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return {"cannot load " + exe + " as data"};
  std::vector<std::string> failures;
  for (const auto& [resource, expected] : kDialogs) {
    const std::string name = "dialog " + std::to_string(resource) + ": ";
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    if (!FindJapaneseResource(module, RT_DIALOG, resource, &bytes, &size)) {
      failures.push_back(name + "no Japanese (0x0411) template");
      continue;
    }
    const std::vector<std::string> seen = Describe(bytes, size);
    for (size_t i = 0; i < std::max(seen.size(), expected.size()); ++i) {
      const std::string want = i < expected.size() ? expected[i] : "(nothing)";
      const std::string got = i < seen.size() ? seen[i] : "(nothing)";
      if (got != want) failures.push_back(name + got + ", want " + want);
    }
  }
  FreeLibrary(module);
  return failures;
}

std::vector<std::string> CheckIcon(const std::string& exe, const std::string& icon_file) {
  // The generator's images, by width and depth.
  std::ifstream in(icon_file, std::ios::binary);
  const std::string file((std::istreambuf_iterator<char>(in)), {});
  if (file.size() < 6) return {"cannot read " + icon_file};
  std::map<std::pair<int, int>, std::string> generated;
  Cursor directory(reinterpret_cast<const uint8_t*>(file.data()), file.size());
  directory.Take(4);
  for (uint32_t i = 0, files = directory.Take(2); i < files && directory.ok(); ++i) {
    const int width = static_cast<int>(directory.Take(1));
    directory.Take(5);  // height, colour count, reserved, planes
    const int bits = static_cast<int>(directory.Take(2));
    const uint32_t bytes = directory.Take(4), offset = directory.Take(4);
    if (offset <= file.size() && bytes <= file.size() - offset) {
      generated[{width, bits}] = file.substr(offset, bytes);
    }
  }

  HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return {"cannot load " + exe + " as data"};
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  if (!FindJapaneseResource(module, RT_GROUP_ICON, 128, &bytes, &size)) {
    FreeLibrary(module);
    return {"no icon group 128"};
  }
  std::vector<std::string> failures;
  Cursor group(bytes, size);
  group.Take(2);
  if (group.Take(2) != 1) failures.push_back("icon group 128 is not an icon");
  const uint32_t count = group.Take(2);
  // Every size at every depth once, each image the generator's own bytes.
  std::set<std::pair<int, int>> seen, wanted;
  for (int s : {48, 32, 16}) {
    for (int b : {4, 8, 24}) wanted.insert({s, b});
  }
  for (uint32_t i = 0; i < count && group.ok(); ++i) {
    const int width = static_cast<int>(group.Take(1)), height = static_cast<int>(group.Take(1));
    group.Take(4);  // colour count, reserved, planes
    const int bits = static_cast<int>(group.Take(2));
    group.Take(4);  // bytes
    const int image_id = static_cast<int>(group.Take(2));
    const std::string name =
        std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(bits);
    const uint8_t* image = nullptr;
    size_t image_size = 0;
    if (width != height || !seen.insert({width, bits}).second) {
      failures.push_back("unexpected or repeated icon image " + name);
    } else if (!FindJapaneseResource(module, RT_ICON, image_id, &image, &image_size)) {
      failures.push_back("icon image " + name + " missing");
    } else if (std::string(reinterpret_cast<const char*>(image), image_size) !=
               generated[{width, bits}]) {
      failures.push_back("icon image " + name + " is not what tools/make_icon.cpp draws");
    }
  }
  if (seen != wanted || count != 9) failures.push_back("icon 128 does not hold the nine images");
  FreeLibrary(module);
  return failures;
}

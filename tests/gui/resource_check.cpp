#include "resource_check.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <set>
#include <utility>

#include "fixture_files.h"

namespace kelditra {

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

// Little-endian fields of a resource; ok turns false at a read past its end.
struct Cursor {
  const std::string& bytes;
  size_t at = 0;
  bool ok = true;

  uint32_t Take(size_t size) {
    uint64_t value = 0;
    ok = ok && bytes.size() - at >= size;
    for (size_t i = 0; ok && i < size; ++i) value |= uint64_t{uint8_t(bytes[at++])} << (8 * i);
    return value;
  }
  std::string Number() { return std::to_string(Take(2)); }
  std::string Hex(int size) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", 2 * size, static_cast<unsigned>(Take(size)));
    return text;
  }
  std::string Signed() { return std::to_string(static_cast<int16_t>(Take(2))); }
  // x,y cxXcy
  std::string Rectangle() {
    const std::string x = Signed(), y = Signed(), cx = Signed(), cy = Signed();
    return x + "," + y + " " + cx + "x" + cy;
  }
  // A quoted UTF-8 string, or an ordinal after 0xFFFF as "#n".
  std::string StringOrOrdinal() {
    std::wstring text;
    for (wchar_t c = wchar_t(Take(2)); ok && c != 0; c = wchar_t(Take(2))) {
      if (c == 0xFFFF && text.empty()) return std::string("#").append(Number());
      text.push_back(c);
    }
    char utf8[1024];
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         utf8, sizeof utf8, nullptr, nullptr);
    return std::string("'").append(utf8, size > 0 ? size : 0).append("'");
  }
};

// Resource (type, id) in Japanese; empty when there is none.
std::string JapaneseResource(HMODULE module, LPCSTR type, int id) {
  HRSRC found = FindResourceExA(module, type, MAKEINTRESOURCEA(id),
                                MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
  HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  if (loaded == nullptr) return "";
  return std::string(static_cast<const char*>(LockResource(loaded)), SizeofResource(module, found));
}

// An extended dialog template, line by line; help ids are left out.
std::vector<std::string> Describe(const std::string& bytes) {
  Cursor in{bytes};
  const std::string version = in.Number(), signature = in.Hex(2);
  in.Take(4);
  const std::string ex_style = in.Hex(4), style = in.Hex(4);
  const uint32_t count = in.Take(2);
  const std::string at = in.Rectangle(), menu = in.StringOrOrdinal(),
                    window_class = in.StringOrOrdinal(), caption = in.StringOrOrdinal();
  const std::string points = in.Number(), weight = in.Number(), italic = std::to_string(in.Take(1)),
                    charset = std::to_string(in.Take(1)), face = in.StringOrOrdinal();
  std::vector<std::string> lines = {
      "extended " + version + " " + signature + ", style " + style + " ex " + ex_style + " at " +
      at + ", menu " + menu + " class " + window_class + " caption " + caption + ", font " +
      points + " " + weight + " " + italic + " " + charset + " " + face + ", " +
      std::to_string(count) + " controls"};
  for (uint32_t i = 0; i < count && in.ok; ++i) {
    while (in.ok && in.at % 4 != 0) in.Take(1);
    in.Take(4);
    const std::string control_ex_style = in.Hex(4), control_style = in.Hex(4),
                      control_at = in.Rectangle(), id = in.Hex(4), kind = in.StringOrOrdinal(),
                      text = in.StringOrOrdinal();
    lines.push_back("id " + id + " " + kind + " " + text + " style " + control_style + " ex " +
                    control_ex_style + " at " + control_at);
    for (uint32_t extra = in.Take(2); extra > 0; --extra) in.Take(1);
  }
  if (!in.ok) lines.push_back("(the template ends early)");
  return lines;
}

void CheckDialogs(HMODULE module, std::vector<std::string>* failures) {
  for (const auto& [resource, expected] : kDialogs) {
    const std::string name = "dialog " + std::to_string(resource) + ": ";
    // A template in another language is not found, and reads as one that ends early.
    const std::vector<std::string> seen = Describe(JapaneseResource(module, RT_DIALOG, resource));
    for (size_t i = 0; i < std::max(seen.size(), expected.size()); ++i) {
      const std::string want = i < expected.size() ? expected[i] : "(nothing)";
      const std::string got = i < seen.size() ? seen[i] : "(nothing)";
      if (got != want) failures->push_back(name + got + ", want " + want);
    }
  }
}

// The icon rebuilt from the executable's group and images is the generator's
// file byte for byte, and holds every size at every depth once.
void CheckIcon(HMODULE module, const std::string& icon_file, std::vector<std::string>* failures) {
  const std::string group = JapaneseResource(module, RT_GROUP_ICON, 128);
  Cursor in{group};
  in.Take(4);
  const uint32_t count = in.Take(2);
  std::string rebuilt = group.substr(0, 6), images;
  std::set<std::pair<uint32_t, uint32_t>> seen;  // width and depth
  for (uint32_t i = 0; i < count && in.ok; ++i) {
    const size_t entry = in.at;
    const uint32_t width = in.Take(1);
    in.Take(5);  // height, colour count, reserved, planes
    seen.insert({width, in.Take(2)});
    in.Take(4);  // bytes
    const uint32_t offset = 6 + 16 * count + images.size();
    images += JapaneseResource(module, RT_ICON, static_cast<int>(in.Take(2)));
    rebuilt += group.substr(entry, 12);
    for (int shift = 0; shift < 32; shift += 8) {
      rebuilt.push_back(static_cast<char>(offset >> shift));
    }
  }
  const std::vector<uint8_t> file = ReadBytes(icon_file);
  if (rebuilt + images != std::string(file.begin(), file.end())) {
    failures->push_back("icon 128 is not " + icon_file + " from tools/make_icon.cpp");
  }
  const std::set<std::pair<uint32_t, uint32_t>> wanted = {
      {48, 4}, {48, 8}, {48, 24}, {32, 4}, {32, 8}, {32, 24}, {16, 4}, {16, 8}, {16, 24}};
  if (seen != wanted || count != 9) failures->push_back("icon 128 does not hold the nine images");
}

}  // namespace

std::vector<std::string> CheckResources(const std::string& exe, const std::string& icon_file) {
  HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return {"cannot load " + exe + " as data"};
  std::vector<std::string> failures;
  CheckDialogs(module, &failures);
  CheckIcon(module, icon_file, &failures);
  FreeLibrary(module);
  return failures;
}

}  // namespace kelditra

#include "resource_check.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <tuple>

#include "window_probe.h"

namespace {

constexpr uint16_t kButton = 0x80;
constexpr uint16_t kEdit = 0x81;
constexpr uint16_t kStatic = 0x82;

struct ExpectedControl {
  uint32_t id;
  uint16_t class_atom;
  const char* text;  // UTF-8
  uint32_t style;
  int16_t x, y, cx, cy;
};

struct ExpectedDialog {
  int resource;
  uint32_t style;
  uint32_t ex_style;
  int16_t x, y, cx, cy;
  const char* title;
  uint16_t point_size;
  uint16_t weight;
  uint8_t italic;
  uint8_t charset;
  const char* font;
  std::vector<ExpectedControl> controls;
};

const ExpectedDialog kDialogs[] = {
    {102, 0x90C800C0, 0x00040000, 0, 0, 241, 120, "Kelditra", 9, 0, 0, 1, "MS UI Gothic",
     {
         {0xFFFFFFFF, kStatic, "ＷＡＶＥファイル", 0x50020000, 20, 15, 90, 8},
         {1000, kEdit, "", 0x50810080, 20, 25, 140, 22},
         {1001, kButton, "参照", 0x50010000, 180, 25, 40, 22},
         {1002, kButton, "変換", 0x50010000, 20, 70, 50, 30},
         {1003, kButton, "終了", 0x50010000, 170, 70, 50, 30},
     }},
    {129, 0x80C800C8, 0, 0, 0, 186, 60, "Dialog", 8, 400, 0, 1, "MS Shell Dlg",
     {
         {0xFFFFFFFF, kStatic, "", 0x50020000, 7, 7, 150, 12},
         {1001, kButton, "キャンセル", 0x50010000, 129, 33, 50, 20},
     }},
};

// Little-endian fields of a resource, bounds-checked.
class Cursor {
 public:
  Cursor(const uint8_t* begin, size_t size) : begin_(begin), at_(begin), end_(begin + size) {}

  bool ok() const { return ok_; }
  uint8_t Byte() { return static_cast<uint8_t>(Take(1)); }
  uint16_t Word() { return static_cast<uint16_t>(Take(2)); }
  uint32_t Dword() { return Take(4); }
  void AlignToDword() {
    while ((at_ - begin_) % 4 != 0 && at_ < end_) ++at_;
  }
  // A string, or an ordinal after 0xFFFF (returned as "#n").
  std::wstring StringOrOrdinal() {
    const uint16_t first = Word();
    if (first == 0xFFFF) return L"#" + std::to_wstring(Word());
    std::wstring text;
    for (uint16_t c = first; ok_ && c != 0; c = Word()) text.push_back(static_cast<wchar_t>(c));
    return text;
  }

 private:
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

  const uint8_t* begin_;
  const uint8_t* at_;
  const uint8_t* end_;
  bool ok_ = true;
};

std::string Hex(uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(value));
  return buffer;
}

// The raw bytes of resource (type, id) in the Japanese language.
bool FindJapaneseResource(HMODULE module, LPCSTR type, int id, const uint8_t** bytes,
                          size_t* size) {
  HRSRC found = FindResourceExA(module, type, MAKEINTRESOURCEA(id),
                                MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
  if (found == nullptr) return false;
  HGLOBAL loaded = LoadResource(module, found);
  if (loaded == nullptr) return false;
  *bytes = static_cast<const uint8_t*>(LockResource(loaded));
  *size = SizeofResource(module, found);
  return *bytes != nullptr;
}

void CompareDialog(HMODULE module, const ExpectedDialog& expected,
                   std::vector<std::string>* failures) {
  const std::string name = "dialog " + std::to_string(expected.resource) + ": ";
  auto expect = [&](bool ok, const std::string& what) {
    if (!ok) failures->push_back(name + what);
  };
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  if (!FindJapaneseResource(module, RT_DIALOG, expected.resource, &bytes, &size)) {
    failures->push_back(name + "no Japanese (0x0411) template");
    return;
  }
  Cursor in(bytes, size);
  const uint16_t version = in.Word();
  const uint16_t signature = in.Word();
  expect(version == 1 && signature == 0xFFFF, "not an extended template");
  in.Dword();  // help id
  const uint32_t ex_style = in.Dword();
  const uint32_t style = in.Dword();
  const uint16_t count = in.Word();
  const int16_t x = in.Word(), y = in.Word(), cx = in.Word(), cy = in.Word();
  expect(style == expected.style, "style " + Hex(style) + ", want " + Hex(expected.style));
  expect(ex_style == expected.ex_style,
         "extended style " + Hex(ex_style) + ", want " + Hex(expected.ex_style));
  expect(std::tie(x, y, cx, cy) ==
             std::tie(expected.x, expected.y, expected.cx, expected.cy),
         "rectangle " + std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(cx) +
             "," + std::to_string(cy));
  expect(in.StringOrOrdinal().empty(), "has a menu");
  expect(in.StringOrOrdinal().empty(), "has a window class");
  expect(in.StringOrOrdinal() == Wide(expected.title), "wrong caption");
  const uint16_t point_size = in.Word();
  const uint16_t weight = in.Word();
  const uint8_t italic = in.Byte();
  const uint8_t charset = in.Byte();
  expect(point_size == expected.point_size, "font size " + std::to_string(point_size));
  expect(weight == expected.weight, "font weight " + std::to_string(weight));
  expect(italic == expected.italic, "italic font");
  expect(charset == expected.charset, "font character set " + std::to_string(charset));
  expect(in.StringOrOrdinal() == Wide(expected.font), "wrong font face");
  expect(count == expected.controls.size(), "control count " + std::to_string(count));

  for (size_t i = 0; i < expected.controls.size() && i < count; ++i) {
    const ExpectedControl& want = expected.controls[i];
    const std::string at = "control " + std::to_string(i) + ": ";
    in.AlignToDword();
    in.Dword();  // help id
    const uint32_t control_ex_style = in.Dword();
    const uint32_t control_style = in.Dword();
    const int16_t cx0 = in.Word(), cy0 = in.Word(), ccx = in.Word(), ccy = in.Word();
    const uint32_t id = in.Dword();
    const std::wstring kind = in.StringOrOrdinal();
    const std::wstring text = in.StringOrOrdinal();
    const uint16_t extra = in.Word();
    for (uint16_t b = 0; b < extra; ++b) in.Byte();
    expect(id == want.id, at + "id " + Hex(id) + ", want " + Hex(want.id));
    expect(kind == L"#" + std::to_wstring(want.class_atom), at + "wrong control class");
    expect(text == Wide(want.text), at + "wrong text");
    expect(control_style == want.style,
           at + "style " + Hex(control_style) + ", want " + Hex(want.style));
    expect(control_ex_style == 0, at + "extended style " + Hex(control_ex_style));
    expect(std::tie(cx0, cy0, ccx, ccy) == std::tie(want.x, want.y, want.cx, want.cy),
           at + "rectangle " + std::to_string(cx0) + "," + std::to_string(cy0) + "," +
               std::to_string(ccx) + "," + std::to_string(ccy));
  }
  expect(in.ok(), "template ends early");
}

}  // namespace

std::vector<std::string> CheckDialogTemplates(const std::string& exe) {
  std::vector<std::string> failures;
  HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return {"cannot load " + exe + " as data"};
  for (const ExpectedDialog& dialog : kDialogs) CompareDialog(module, dialog, &failures);
  FreeLibrary(module);
  return failures;
}

std::vector<std::string> CheckIcon(const std::string& exe, const std::string& icon_file) {
  // The generator's images, by size and depth.
  std::ifstream in(icon_file, std::ios::binary);
  const std::string file((std::istreambuf_iterator<char>(in)), {});
  if (file.size() < 6) return {"cannot read " + icon_file};
  std::map<std::tuple<int, int>, std::string> generated;
  Cursor directory(reinterpret_cast<const uint8_t*>(file.data()), file.size());
  directory.Word();
  directory.Word();
  const uint16_t files = directory.Word();
  for (uint16_t i = 0; i < files && directory.ok(); ++i) {
    const int width = directory.Byte();
    directory.Byte();
    directory.Byte();
    directory.Byte();
    directory.Word();
    const int bits = directory.Word();
    const uint32_t bytes = directory.Dword();
    const uint32_t offset = directory.Dword();
    if (offset <= file.size() && bytes <= file.size() - offset) {
      generated[{width, bits}] = file.substr(offset, bytes);
    }
  }

  std::vector<std::string> failures;
  HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return {"cannot load " + exe + " as data"};
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  if (!FindJapaneseResource(module, RT_GROUP_ICON, 128, &bytes, &size)) {
    FreeLibrary(module);
    return {"no icon group 128"};
  }
  Cursor group(bytes, size);
  group.Word();
  const uint16_t type = group.Word();
  const uint16_t count = group.Word();
  if (type != 1) failures.push_back("icon group 128 is not an icon");

  // Every size at every depth once, each image the generator's own bytes.
  std::set<std::tuple<int, int>> seen;
  for (uint16_t i = 0; i < count && group.ok(); ++i) {
    const int width = group.Byte();
    const int height = group.Byte();
    group.Byte();  // colour count
    group.Byte();
    group.Word();  // planes
    const int bits = group.Word();
    group.Dword();  // bytes
    const int image_id = group.Word();
    const std::string name =
        std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(bits);
    if (width != height || !seen.insert({width, bits}).second) {
      failures.push_back("unexpected or repeated icon image " + name);
    }
    const uint8_t* image = nullptr;
    size_t image_size = 0;
    if (!FindJapaneseResource(module, RT_ICON, image_id, &image, &image_size)) {
      failures.push_back("icon image " + name + " missing");
    } else if (std::string(reinterpret_cast<const char*>(image), image_size) !=
               generated[{width, bits}]) {
      failures.push_back("icon image " + name + " is not what tools/make_icon.cpp draws");
    }
  }
  std::set<std::tuple<int, int>> wanted;
  for (int s : {48, 32, 16}) {
    for (int b : {4, 8, 24}) wanted.insert({s, b});
  }
  if (seen != wanted || count != 9) failures.push_back("icon 128 does not hold the nine images");
  FreeLibrary(module);
  return failures;
}

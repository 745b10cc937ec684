// Draws the application icon, src/resources/kelditra.ico: a wave above a row of
// spectrum bars on a rounded square, at 48, 32 and 16 pixels, each with 16
// colours, 256 colours and 24-bit colour.
//
//   g++ -std=c++20 -O2 tools/make_icon.cpp -o make_icon && ./make_icon src/resources/kelditra.ico
//
// Integer arithmetic only, so every machine writes the same bytes and the
// committed icon can be checked against its generator.
#include <cstdint>
#include <cstdio>
#include <vector>

namespace kelditra {

namespace {

struct Rgb {
  uint8_t r, g, b;
};

// Palette order is also the colour index in the 16- and 256-colour images.
constexpr Rgb kColours[] = {
    {0, 0, 0},        // 0: under the transparent mask
    {28, 44, 104},    // 1: background
    {255, 255, 255},  // 2: wave
    {244, 150, 36},   // 3: spectrum bars
    {84, 112, 196},   // 4: rim
};
constexpr int kTransparent = -1;

// Units are 1/1000 of a 48-unit square, so one picture serves every size.
constexpr int64_t kUnit = 1000;

bool InsideRoundedSquare(int64_t x, int64_t y, int64_t inset, int64_t radius) {
  const int64_t lo = inset * kUnit;
  const int64_t hi = (48 - inset) * kUnit;
  if (x < lo || x >= hi || y < lo || y >= hi) return false;
  const int64_t r = radius * kUnit;
  const int64_t cx = x < lo + r ? lo + r : (x >= hi - r ? hi - r : x);
  const int64_t cy = y < lo + r ? lo + r : (y >= hi - r ? hi - r : y);
  const int64_t dx = x - cx;
  const int64_t dy = y - cy;
  return dx * dx + dy * dy <= r * r;
}

// Bhaskara's approximation of 1000 * sin(degrees), degrees in [0, 360).
int64_t SineMilli(int64_t degrees) {
  const bool negative = degrees >= 180;
  const int64_t d = negative ? degrees - 180 : degrees;
  const int64_t value = 4000 * d * (180 - d) / (40500 - d * (180 - d));
  return negative ? -value : value;
}

// The colour index of the picture at (x, y) in units.
int ColourAt(int64_t x, int64_t y) {
  if (!InsideRoundedSquare(x, y, 1, 9)) return kTransparent;
  if (!InsideRoundedSquare(x, y, 3, 7)) return 4;

  // Five bars along the bottom, falling off like a harmonic series.
  constexpr int64_t kBarHeights[] = {16, 11, 8, 6, 4};
  for (int bar = 0; bar < 5; ++bar) {
    const int64_t left = (9 + 6 * bar) * kUnit;
    if (x >= left && x < left + 4 * kUnit && y >= (40 - kBarHeights[bar]) * kUnit &&
        y < 40 * kUnit) {
      return 3;
    }
  }

  // One and a half periods of a sine across the upper half.
  if (x >= 7 * kUnit && x < 41 * kUnit) {
    const int64_t degrees = (x - 7 * kUnit) * 540 / (34 * kUnit) % 360;
    const int64_t centre = 16 * kUnit - SineMilli(degrees) * 8;
    const int64_t distance = y > centre ? y - centre : centre - y;
    if (distance <= 1800) return 2;
  }
  return 1;
}

void Put(std::vector<uint8_t>* out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

int RowBytes(int size, int bits) { return (size * bits + 31) / 32 * 4; }

// One icon image: BITMAPINFOHEADER, palette, colour rows, mask rows, both
// bottom-up.
std::vector<uint8_t> DrawImage(int size, int bits) {
  std::vector<int> pixels(size * size);
  for (int py = 0; py < size; ++py) {
    for (int px = 0; px < size; ++px) {
      const int64_t x = (2 * px + 1) * 48 * kUnit / (2 * size);
      const int64_t y = (2 * py + 1) * 48 * kUnit / (2 * size);
      pixels[py * size + px] = ColourAt(x, y);
    }
  }

  const int palette_size = bits == 24 ? 0 : 1 << bits;
  const int colour_row = RowBytes(size, bits);
  const int mask_row = RowBytes(size, 1);
  std::vector<uint8_t> image;
  Put(&image, 40, 4);
  Put(&image, size, 4);
  Put(&image, 2 * size, 4);  // colour rows and mask rows together
  Put(&image, 1, 2);
  Put(&image, bits, 2);
  Put(&image, 0, 4);  // BI_RGB
  Put(&image, (colour_row + mask_row) * size, 4);
  Put(&image, 0, 4);
  Put(&image, 0, 4);
  Put(&image, 0, 4);
  Put(&image, 0, 4);
  for (int i = 0; i < palette_size; ++i) {
    const Rgb c = i < static_cast<int>(std::size(kColours)) ? kColours[i] : Rgb{0, 0, 0};
    Put(&image, c.b, 1);
    Put(&image, c.g, 1);
    Put(&image, c.r, 1);
    Put(&image, 0, 1);
  }
  for (int py = size - 1; py >= 0; --py) {
    std::vector<uint8_t> row(colour_row, 0);
    for (int px = 0; px < size; ++px) {
      const int index = pixels[py * size + px] == kTransparent ? 0 : pixels[py * size + px];
      if (bits == 24) {
        row[3 * px] = kColours[index].b;
        row[3 * px + 1] = kColours[index].g;
        row[3 * px + 2] = kColours[index].r;
      } else if (bits == 8) {
        row[px] = static_cast<uint8_t>(index);
      } else {
        row[px / 2] |= static_cast<uint8_t>(px % 2 == 0 ? index << 4 : index);
      }
    }
    image.insert(image.end(), row.begin(), row.end());
  }
  for (int py = size - 1; py >= 0; --py) {
    std::vector<uint8_t> row(mask_row, 0);
    for (int px = 0; px < size; ++px) {
      if (pixels[py * size + px] == kTransparent) row[px / 8] |= static_cast<uint8_t>(0x80 >> (px % 8));
    }
    image.insert(image.end(), row.begin(), row.end());
  }
  return image;
}

}  // namespace

}  // namespace kelditra

using namespace kelditra;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: make_icon OUTPUT.ico\n", stderr);
    return 2;
  }
  constexpr int kSizes[] = {48, 32, 16};
  constexpr int kBits[] = {4, 8, 24};
  std::vector<std::vector<uint8_t>> images;
  for (int size : kSizes) {
    for (int bits : kBits) images.push_back(DrawImage(size, bits));
  }

  std::vector<uint8_t> file;
  Put(&file, 0, 2);
  Put(&file, 1, 2);  // icon, not cursor
  Put(&file, static_cast<uint32_t>(images.size()), 2);
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    const int size = kSizes[i / 3];
    const int bits = kBits[i % 3];
    Put(&file, size, 1);
    Put(&file, size, 1);
    Put(&file, bits == 4 ? 16 : 0, 1);  // colour count; 0 means 256 or more
    Put(&file, 0, 1);
    Put(&file, 1, 2);
    Put(&file, bits, 2);
    Put(&file, static_cast<uint32_t>(images[i].size()), 4);
    Put(&file, offset, 4);
    offset += static_cast<uint32_t>(images[i].size());
  }
  for (const auto& image : images) file.insert(file.end(), image.begin(), image.end());

  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
  if (std::fclose(out) != 0 || !written) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}

// The background picture loaders on real GDI: files on disk become DIB
// sections that read back upright, with their colours, whatever their width.
#include "installer/win32/picture_bitmap.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <zlib.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "picture_samples.h"

namespace {

std::wstring TempDirectory() {
  wchar_t buffer[MAX_PATH + 1];
  DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  return std::wstring(buffer, length);
}

// A file of its own in the temporary folder, removed at the end of the test.
class PictureFile {
 public:
  PictureFile(const std::wstring& name, const Bytes& bytes)
      : path_(TempDirectory() + L"picture_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
              name) {
    FILE* file = _wfopen(path_.c_str(), L"wb");
    EXPECT_NE(file, nullptr);
    if (file == nullptr) return;
    EXPECT_EQ(fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    fclose(file);
  }
  ~PictureFile() { DeleteFileW(path_.c_str()); }
  PictureFile(const PictureFile&) = delete;
  PictureFile& operator=(const PictureFile&) = delete;

  const wchar_t* path() const { return path_.c_str(); }

 private:
  std::wstring path_;
};

class OwnedBitmap {
 public:
  explicit OwnedBitmap(HBITMAP bitmap) : bitmap_(bitmap) {}
  ~OwnedBitmap() {
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
  }
  OwnedBitmap(const OwnedBitmap&) = delete;
  OwnedBitmap& operator=(const OwnedBitmap&) = delete;
  HBITMAP get() const { return bitmap_; }

 private:
  HBITMAP bitmap_;
};

HBITMAP LoadFrom(const wchar_t* path, HBITMAP (*load)(FILE*)) {
  FILE* file = _wfopen(path, L"rb");
  HBITMAP bitmap = load(file);
  if (file != nullptr) fclose(file);
  return bitmap;
}
HBITMAP LoadPng(const Bytes& png) {
  return LoadFrom(PictureFile(L"load.png", png).path(), LoadPngBitmap);
}
HBITMAP LoadJpeg(const Bytes& jpeg) {
  return LoadFrom(PictureFile(L"load.jpg", jpeg).path(), LoadJpegBitmap);
}

// A bitmap as GDI describes and reads it back: the section's header, and the
// pixels top row first as 0xAARRGGBB.
struct Readback {
  LONG width = 0;
  LONG headerHeight = 0;
  WORD bitCount = 0;
  DWORD compression = 0;
  std::vector<uint32_t> pixels;

  uint32_t At(LONG x, LONG y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

Readback ReadBack(HBITMAP bitmap) {
  Readback result;
  DIBSECTION section;
  if (GetObjectW(bitmap, sizeof(section), &section) != sizeof(section)) {
    ADD_FAILURE() << "not a DIB section";
    return result;
  }
  result.width = section.dsBmih.biWidth;
  result.headerHeight = section.dsBmih.biHeight;
  result.bitCount = section.dsBmih.biBitCount;
  result.compression = section.dsBmih.biCompression;
  LONG height = section.dsBm.bmHeight;

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = result.width;
  info.bmiHeader.biHeight = -height;  // top-down, so that row 0 is the top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  result.pixels.resize(static_cast<size_t>(result.width * height));
  HDC screen = GetDC(nullptr);
  int rows = GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), result.pixels.data(), &info,
                       DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(rows, height);
  return result;
}

uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) {
  return (r & 0xFF) << 16 | (g & 0xFF) << 8 | (b & 0xFF);
}
uint32_t Rgba(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  return (a & 0xFF) << 24 | Rgb(r, g, b);
}

// Every pixel its own colour, so that a sheared, flipped or mirrored row or
// swapped red and blue cannot read back right.
uint32_t TestColour(uint32_t x, uint32_t y) {
  return Rgba(40 * x + 10, 60 * y + 20, 250 - 20 * x - 50 * y, 100 + x + 10 * y);
}

Bytes TestRows(uint32_t width, uint32_t height, bool alpha) {
  Bytes rows;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      uint32_t c = TestColour(x, y);
      rows.insert(rows.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                               static_cast<uint8_t>(c)});
      if (alpha) rows.push_back(static_cast<uint8_t>(c >> 24));
    }
  }
  return rows;
}

void ExpectHeader(const Readback& bitmap, LONG width, LONG height, WORD bitCount) {
  EXPECT_EQ(bitmap.width, width);
  EXPECT_EQ(bitmap.headerHeight, height);  // positive: bottom-up
  EXPECT_EQ(bitmap.bitCount, bitCount);
  EXPECT_EQ(bitmap.compression, static_cast<DWORD>(BI_RGB));
}

// What the setup window shows: the bitmap selected into a memory context
// and copied with BitBlt, read from the copy.
Readback CopiedByBitBlt(HBITMAP picture, LONG width, LONG height) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP target = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC source = CreateCompatibleDC(nullptr);
  HDC destination = CreateCompatibleDC(nullptr);
  HGDIOBJ oldSource = SelectObject(source, picture);
  HGDIOBJ oldDestination = SelectObject(destination, target);
  EXPECT_TRUE(BitBlt(destination, 0, 0, width, height, source, 0, 0, SRCCOPY));
  GdiFlush();
  Readback copy;
  copy.width = width;
  const auto* pixels = static_cast<const uint32_t*>(bits);
  copy.pixels.assign(pixels, pixels + width * height);
  SelectObject(destination, oldDestination);
  SelectObject(source, oldSource);
  DeleteDC(destination);
  DeleteDC(source);
  DeleteObject(target);
  return copy;
}

// Every row padding a 24-bit and a 32-bit section can have; the window shows
// the picture through BitBlt, which must see the same pixels.
TEST(PictureBitmapTest, PngOfEveryRowPaddingReadsBackUprightAndCopies) {
  for (bool alpha : {false, true}) {
    for (uint32_t width = 1; width <= 5; ++width) {
      SCOPED_TRACE(std::to_string(width) + (alpha ? " RGBA" : " RGB"));
      PngSample sample = MakePngSample(width, 3, 8, alpha ? 6 : 2);
      sample.rows = TestRows(width, 3, alpha);
      OwnedBitmap bitmap(LoadPng(EncodePng(sample)));
      ASSERT_NE(bitmap.get(), nullptr);
      Readback back = ReadBack(bitmap.get());
      ExpectHeader(back, static_cast<LONG>(width), 3, alpha ? 32 : 24);
      Readback copy = CopiedByBitBlt(bitmap.get(), static_cast<LONG>(width), 3);
      uint32_t mask = alpha ? 0xFFFFFFFF : 0x00FFFFFF;
      for (LONG y = 0; y < 3; ++y) {
        for (LONG x = 0; x < static_cast<LONG>(width); ++x) {
          EXPECT_EQ(back.At(x, y) & mask, TestColour(x, y) & mask) << x << ", " << y;
          EXPECT_EQ(copy.At(x, y) & 0x00FFFFFF, TestColour(x, y) & 0x00FFFFFF) << x << ", " << y;
        }
      }
    }
  }
}

constexpr uint32_t kRed = 0xC81E28, kGreen = 0x14B43C, kBlue = 0x1E28DC, kWhite = 0xF0F0F0;

// Red top left, green top right, blue bottom left, white bottom right.
Bytes Corners(uint32_t width, uint32_t height) {
  Bytes rgb;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      bool right = x >= width / 2;
      uint32_t c = y < height / 2 ? (right ? kGreen : kRed) : (right ? kWhite : kBlue);
      rgb.insert(rgb.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                             static_cast<uint8_t>(c)});
    }
  }
  return rgb;
}

// Within what quality 100 changes of a colour.
void ExpectCorners(const Readback& picture, LONG width, LONG height) {
  const std::pair<uint32_t, uint32_t> corners[] = {{picture.At(0, 0), kRed},
                                                   {picture.At(width - 1, 0), kGreen},
                                                   {picture.At(0, height - 1), kBlue},
                                                   {picture.At(width - 1, height - 1), kWhite}};
  for (const auto& [actual, expected] : corners) {
    for (int shift : {0, 8, 16}) {
      EXPECT_NEAR(static_cast<int>(actual >> shift & 0xFF),
                  static_cast<int>(expected >> shift & 0xFF), 4)
          << std::hex << actual << " for " << expected;
    }
  }
}

TEST(PictureBitmapTest, JpegKeepsItsCornersWhenCopied) {
  // An odd width: 24-bit rows of 63 bytes need padding.
  OwnedBitmap jpegBitmap(LoadJpeg(EncodeJpeg(21, 16, 3, Corners(21, 16))));
  ASSERT_NE(jpegBitmap.get(), nullptr);
  Readback jpeg = ReadBack(jpegBitmap.get());
  ExpectHeader(jpeg, 21, 16, 24);
  ExpectCorners(jpeg, 21, 16);
  ExpectCorners(CopiedByBitBlt(jpegBitmap.get(), 21, 16), 21, 16);
}

// Which pictures decode is the rows' business (tests/unit); here only that
// a refusal, or no file at all, gives no bitmap.
TEST(PictureBitmapTest, PicturesTheWindowDoesNotShowGiveNoBitmap) {
  EXPECT_EQ(LoadPng(EncodePng(MakePngSample(4, 2, 8, 0))), nullptr);  // grey
  EXPECT_EQ(LoadJpeg(EncodeJpeg(8, 8, 1, Bytes(64, 100))), nullptr);  // grey
  EXPECT_EQ(LoadPng({}), nullptr);
  EXPECT_EQ(LoadPngBitmap(nullptr), nullptr);
  EXPECT_EQ(LoadJpegBitmap(nullptr), nullptr);
}

}  // namespace

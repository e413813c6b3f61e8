// The background picture loaders on real GDI: files on disk become DIB
// sections that read back upright, with their colours, whatever their width.
#include "installer/win32/picture_bitmap.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "picture_samples.h"

namespace {

// The bitmap `load` makes of a file holding `bytes`.
HBITMAP Load(const Bytes& bytes, HBITMAP (*load)(FILE*)) {
  wchar_t path[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, path);
  const std::wstring name = path + (L"picture_" + std::to_wstring(GetCurrentProcessId()));
  std::ofstream(name.c_str(), std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  FILE* file = _wfopen(name.c_str(), L"rb");
  EXPECT_NE(file, nullptr);
  HBITMAP bitmap = load(file);
  if (file != nullptr) fclose(file);
  DeleteFileW(name.c_str());
  return bitmap;
}

BITMAPINFO TopDown32(LONG width, LONG height) {  // row 0 is the top
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(info.bmiHeader), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  return info;
}

// The pixels top row first as 0xAARRGGBB: of the bitmap through GetDIBits
// after checking its header (positive height: bottom-up), or, as the setup
// window shows them, of a copy made with BitBlt.
std::vector<uint32_t> ReadBack(HBITMAP bitmap, LONG width, LONG height, WORD bitCount) {
  DIBSECTION section;
  EXPECT_EQ(GetObjectW(bitmap, sizeof(section), &section), int{sizeof(section)});
  const BITMAPINFOHEADER& header = section.dsBmih;
  EXPECT_EQ(header.biWidth, width);
  EXPECT_EQ(header.biHeight, height);
  EXPECT_EQ(header.biBitCount, bitCount);
  EXPECT_EQ(header.biCompression, DWORD{BI_RGB});
  BITMAPINFO info = TopDown32(width, height);
  std::vector<uint32_t> pixels(static_cast<size_t>(width * height));
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(
      GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS),
      height);
  ReleaseDC(nullptr, screen);
  return pixels;
}
std::vector<uint32_t> CopiedByBitBlt(HBITMAP picture, LONG width, LONG height) {
  BITMAPINFO info = TopDown32(width, height);
  void* bits = nullptr;
  HBITMAP target = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC source = CreateCompatibleDC(nullptr);
  HDC destination = CreateCompatibleDC(nullptr);
  HGDIOBJ oldSource = SelectObject(source, picture);
  HGDIOBJ oldDestination = SelectObject(destination, target);
  EXPECT_TRUE(BitBlt(destination, 0, 0, width, height, source, 0, 0, SRCCOPY));
  GdiFlush();
  const auto* pixels = static_cast<const uint32_t*>(bits);
  std::vector<uint32_t> copy(pixels, pixels + width * height);
  SelectObject(destination, oldDestination);
  SelectObject(source, oldSource);
  DeleteDC(destination);
  DeleteDC(source);
  DeleteObject(target);
  return copy;
}

// Every pixel its own colour, so that a sheared, flipped or mirrored row or
// swapped red and blue cannot read back right.
uint32_t TestColour(uint32_t x, uint32_t y) {
  return (100 + x + 10 * y) << 24 | (40 * x + 10) << 16 | (60 * y + 20) << 8 |
         (250 - 20 * x - 50 * y);
}

// Every row padding a 24-bit and a 32-bit section can have.
TEST(PictureBitmapTest, PngOfEveryRowPaddingReadsBackUprightAndCopies) {
  for (bool alpha : {false, true}) {
    for (uint32_t width = 1; width <= 5; ++width) {
      SCOPED_TRACE(std::to_string(width) + (alpha ? " RGBA" : " RGB"));
      PngSample sample = MakePngSample(width, 3, 8, alpha ? 6 : 2);
      sample.rows.clear();
      for (uint32_t y = 0; y < 3; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
          for (int shift : {16, 8, 0, 24}) {
            if (shift != 24 || alpha) sample.rows.push_back(TestColour(x, y) >> shift & 0xFF);
          }
        }
      }
      HBITMAP bitmap = Load(EncodePng(sample), LoadPngBitmap);
      ASSERT_NE(bitmap, nullptr);
      const LONG w = static_cast<LONG>(width);
      std::vector<uint32_t> back = ReadBack(bitmap, w, 3, alpha ? 32 : 24);
      std::vector<uint32_t> copy = CopiedByBitBlt(bitmap, w, 3);
      DeleteObject(bitmap);
      const uint32_t mask = alpha ? 0xFFFFFFFF : 0x00FFFFFF;
      for (uint32_t i = 0; i < 3 * width; ++i) {
        EXPECT_EQ(back[i] & mask, TestColour(i % width, i / width) & mask) << i;
        EXPECT_EQ(copy[i] & 0x00FFFFFF, TestColour(i % width, i / width) & 0x00FFFFFF) << i;
      }
    }
  }
}

TEST(PictureBitmapTest, JpegKeepsItsCornersWhenCopied) {
  // Red top left, green top right, blue bottom left, white bottom right; an
  // odd width, so that 24-bit rows of 63 bytes need padding.
  constexpr LONG kWidth = 21, kHeight = 16;
  const uint32_t corners[] = {0xC81E28, 0x14B43C, 0x1E28DC, 0xF0F0F0};
  Bytes rgb;
  for (LONG y = 0; y < kHeight; ++y) {
    for (LONG x = 0; x < kWidth; ++x) {
      const uint32_t c = corners[(y >= kHeight / 2 ? 2 : 0) + (x >= kWidth / 2 ? 1 : 0)];
      for (int shift : {16, 8, 0}) rgb.push_back(c >> shift & 0xFF);
    }
  }
  HBITMAP bitmap = Load(EncodeJpeg(kWidth, kHeight, 3, rgb), LoadJpegBitmap);
  ASSERT_NE(bitmap, nullptr);
  for (const std::vector<uint32_t>& picture :
       {ReadBack(bitmap, kWidth, kHeight, 24), CopiedByBitBlt(bitmap, kWidth, kHeight)}) {
    const size_t at[] = {0, kWidth - 1, kWidth * (kHeight - 1), kWidth * kHeight - 1};
    for (size_t i = 0; i < 4; ++i) {
      for (int shift : {0, 8, 16}) {  // within what quality 100 changes of a colour
        EXPECT_NEAR(picture[at[i]] >> shift & 0xFF, corners[i] >> shift & 0xFF, 4)
            << std::hex << picture[at[i]] << " for " << corners[i];
      }
    }
  }
  DeleteObject(bitmap);
}

// Which pictures decode is the rows' business (tests/unit); here only that
// a refusal, or no file at all, gives no bitmap.
TEST(PictureBitmapTest, PicturesTheWindowDoesNotShowGiveNoBitmap) {
  EXPECT_EQ(Load(EncodePng(MakePngSample(4, 2, 8, 0)), LoadPngBitmap), nullptr);  // grey
  EXPECT_EQ(Load(EncodeJpeg(8, 8, 1, Bytes(64, 100)), LoadJpegBitmap), nullptr);  // grey
  EXPECT_EQ(Load({}, LoadPngBitmap), nullptr);
  EXPECT_EQ(LoadPngBitmap(nullptr), nullptr);
  EXPECT_EQ(LoadJpegBitmap(nullptr), nullptr);
}

}  // namespace

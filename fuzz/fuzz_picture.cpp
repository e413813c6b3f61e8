// Feeds arbitrary bytes to the background picture's readers, as a PNG and as
// a JPEG, and lays out every picture they accept as the bitmap's pixel block.
// Whatever the bytes, an accepted picture must be 8-bit RGB or RGBA within
// the size bounds, and its rows must fill the buffer the header asked for.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "installer/picture_dib.h"
#include "installer/picture_image.h"
#include "installer/picture_rows.h"

namespace {

// A setup window's picture is a few KB; larger inputs only slow the search.
constexpr size_t kMaxInputBytes = 64 * 1024;
// Decoding a picture near the size bounds takes seconds per input; past this
// only the header is read.
constexpr uint64_t kMaxDecodedPixels = 1024 * 1024;

bool SmallEnough(uint32_t width, uint32_t height) {
  return uint64_t{width} * height <= kMaxDecodedPixels;
}

void CheckAndLayOut(const PictureRows& rows) {
  bool sizeAllowed = rows.width != 0 && rows.height != 0 && rows.width <= MAX_PICTURE_SIDE &&
                     rows.height <= MAX_PICTURE_SIDE &&
                     uint64_t{rows.width} * rows.height <= MAX_PICTURE_PIXELS;
  bool layoutSound = (rows.bytesPerPixel == 3 || rows.bytesPerPixel == 4) &&
                     rows.rowBytes == rows.width * rows.bytesPerPixel && rows.pixels.Get();
  if (!sizeAllowed || !layoutSound) abort();
  std::vector<uint8_t> dib(DibStride(rows.width, rows.bytesPerPixel) * rows.height);
  WriteDibPixels(rows, dib.data());
}

void TryPng(FILE* file) {
  PngImage image;
  if (!ReadPngImage(file, &image) || !SmallEnough(image.width, image.height)) return;
  PictureRows rows;
  if (DecodePngRows(file, &rows)) CheckAndLayOut(rows);
}

void TryJpeg(FILE* file) {
  uint32_t width = 0;
  uint32_t height = 0;
  if (!ReadJpegImage(file, nullptr, &width, &height) || !SmallEnough(width, height)) return;
  PictureRows rows;
  if (DecodeJpegRows(file, &rows)) CheckAndLayOut(rows);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > kMaxInputBytes) return 0;
  // The readers take a FILE, as the loaders open one; fmemopen only reads.
  FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (file == nullptr) return 0;
  TryPng(file);
  TryJpeg(file);
  fclose(file);
  return 0;
}

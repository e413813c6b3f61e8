#include "installer/picture_rows.h"

#include <utility>

#include "installer/picture_image.h"

namespace {

// The size comes from a header that passed the picture bounds, so the
// product cannot overflow.
PixelBlock AllocatePixels(uint32_t rowBytes, uint32_t height) {
  size_t size = size_t{rowBytes} * height;
  return PixelBlock(static_cast<uint8_t*>(malloc(size != 0 ? size : 1)));
}

void Deliver(PixelBlock pixels, uint32_t width, uint32_t height, uint32_t bytesPerPixel,
             PictureRows* rows) {
  rows->pixels = std::move(pixels);
  rows->width = width;
  rows->height = height;
  rows->rowBytes = width * bytesPerPixel;
  rows->bytesPerPixel = bytesPerPixel;
}

}  // namespace

int DecodePngRows(FILE* file, PictureRows* rows) {
  PngImage image;
  if (!ReadPngImage(file, &image)) return 0;
  if ((image.colorType & kPngColourBit) == 0) return 0;
  uint32_t bytesPerPixel = (image.colorType & kPngAlphaBit) != 0 ? 4 : 3;
  // The reader's transformations leave colour pictures with 8-bit samples;
  // anything else would not be a bitmap's row.
  if (image.bitDepth != 8 || image.rowBytes != image.width * bytesPerPixel) return 0;

  PixelBlock pixels = AllocatePixels(image.rowBytes, image.height);
  if (!pixels) return 0;
  image.pixels = pixels.Get();
  if (!ReadPngImage(file, &image)) return 0;
  Deliver(std::move(pixels), image.width, image.height, bytesPerPixel, rows);
  return 1;
}

int DecodeJpegRows(FILE* file, PictureRows* rows) {
  uint32_t width = 0;
  uint32_t height = 0;
  if (!ReadJpegImage(file, nullptr, &width, &height)) return 0;
  PixelBlock pixels = AllocatePixels(width * 3, height);
  if (!pixels) return 0;
  if (!ReadJpegImage(file, pixels.Get(), &width, &height)) return 0;
  Deliver(std::move(pixels), width, height, 3, rows);
  return 1;
}

#include "installer/picture_dib.h"

#include <cstring>

size_t DibStride(uint32_t width, uint32_t bytesPerPixel) {
  return (size_t{width} * bytesPerPixel + 3) / 4 * 4;
}

void WriteDibPixels(const PictureRows& rows, uint8_t* dib) {
  size_t stride = DibStride(rows.width, rows.bytesPerPixel);
  uint32_t pixelBytes = rows.bytesPerPixel;
  for (uint32_t y = 0; y < rows.height; ++y) {
    // A positive height puts the picture's top row last.
    const uint8_t* in = rows.pixels.Get() + size_t{y} * rows.rowBytes;
    uint8_t* out = dib + size_t{rows.height - 1 - y} * stride;
    for (uint32_t x = 0; x < rows.width; ++x, in += pixelBytes, out += pixelBytes) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
      if (pixelBytes == 4) out[3] = in[3];
    }
    memset(out, 0, stride - size_t{rows.width} * pixelBytes);
  }
}

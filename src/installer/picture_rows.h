// A background picture decoded into the rows a bitmap is made of, with the
// installer's rules on which pictures are shown.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "base/unique_handle.h"

inline void FreePixelBlock(uint8_t* block) { free(block); }
using PixelBlock = UniqueHandle<uint8_t*, FreePixelBlock>;

// 8-bit colour rows, top row first, rowBytes (= width * bytesPerPixel) apart.
struct PictureRows {
  PixelBlock pixels;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t rowBytes = 0;
  uint32_t bytesPerPixel = 0;  // 3: R, G, B; 4: R, G, B, A
};

// Each returns 1 and fills `rows`, or 0 and leaves `rows` as it was.
//
// PNG: any colour picture; palettes become RGB, or RGBA with a tRNS chunk, a
// colour key becomes alpha, 16-bit samples are cut to 8 bits. Grey pictures
// (with or without alpha), damaged files and files past the size bounds of
// picture_image.h give 0.
int DecodePngRows(FILE* file, PictureRows* rows);
// JPEG: three-component pictures only (RGB rows); grey and CMYK give 0.
int DecodeJpegRows(FILE* file, PictureRows* rows);

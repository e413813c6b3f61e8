// Small PNG and JPEG files made in memory, so that every sample's pixels are
// known exactly.
#pragma once

#include <cstdint>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct PngSample {
  uint32_t width = 0;
  uint32_t height = 0;
  uint8_t bitDepth = 8;
  uint8_t colorType = 2;    // PNG's numbers: 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
  bool interlaced = false;  // Adam7; whole-byte pixels only
  Bytes palette;            // PLTE payload
  Bytes transparency;       // tRNS payload
  Bytes rows;               // height packed rows, no filter bytes
};

// A sample of all-zero rows.
PngSample MakePngSample(uint32_t width, uint32_t height, uint8_t bitDepth, uint8_t colorType);
Bytes EncodePng(const PngSample& sample);
// The same PNG claiming another size in its header (with a valid CRC).
Bytes WithClaimedPngSize(Bytes png, uint32_t width, uint32_t height);

// A JPEG of `components` samples per pixel (1 grey, 3 RGB, 4 CMYK) at
// quality 100 without chroma subsampling. With `acPasses`, a progressive RGB
// one of 1 + 189 * `acPasses` scans: each coefficient of each component in a
// scan of its own, its low `acPasses` - 1 bits first left out, then refined.
Bytes EncodeJpeg(uint32_t width, uint32_t height, int components, const Bytes& pixels,
                 int acPasses = 0);

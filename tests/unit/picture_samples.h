// Small PNG and JPEG files made in memory for the picture decoder's tests, so
// that every sample's pixels are known exactly.
#pragma once

#include <cstdint>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct PngSample {
  uint32_t width = 0;
  uint32_t height = 0;
  uint8_t bitDepth = 8;
  uint8_t colorType = 2;    // PNG's numbers: 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
  bool interlaced = false;  // Adam7; whole-byte pixels (bit depth 8 or 16) only
  Bytes palette;            // PLTE payload, RGB triplets
  Bytes transparency;       // tRNS payload
  Bytes rows;               // height packed rows, no filter bytes
};

// A sample of all-zero rows.
PngSample MakePngSample(uint32_t width, uint32_t height, uint8_t bitDepth, uint8_t colorType);

// A complete PNG file; rows are stored unfiltered and deflated with zlib.
Bytes EncodePng(const PngSample& sample);
// The same PNG claiming another size in its IHDR (with a valid CRC), so that
// size bounds can be tried without megabytes of pixels.
Bytes WithClaimedPngSize(Bytes png, uint32_t width, uint32_t height);

// A JPEG of `components` samples per pixel (1 grey, 3 RGB, 4 CMYK) at
// quality 100 without chroma subsampling, made with libjpeg.
Bytes EncodeJpeg(uint32_t width, uint32_t height, int components, const Bytes& pixels);

// A progressive RGB JPEG of one DC scan and 189 * `acPasses` AC scans: each
// of the 63 coefficients of each component in a scan of its own, first with
// its low `acPasses` - 1 bits left out, then refined one bit at a time.
Bytes EncodeProgressiveJpeg(uint32_t width, uint32_t height, const Bytes& rgb, int acPasses);

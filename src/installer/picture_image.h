// The glue around libpng and libjpeg that reads the installer's background
// picture from an open file. Portable: the Win32 loaders (win32/picture_bitmap.h)
// and the native tests and fuzzer share it.
#pragma once

#include <cstdint>
#include <cstdio>

// Pictures past these bounds are refused before any pixel memory is taken:
// a window's pictures are small, and a hostile header must not make the stub
// ask for gigabytes.
inline constexpr uint32_t MAX_PICTURE_SIDE = 16384;
inline constexpr uint32_t MAX_PICTURE_PIXELS = 16u * 1024 * 1024;

// A progressive JPEG is decoded once per scan; real ones have about ten. A
// file of thousands of tiny scans would keep the stub busy for minutes.
inline constexpr int kMaxJpegScans = 500;

// Bits of a PNG colour type.
inline constexpr uint32_t kPngColourBit = 2;
inline constexpr uint32_t kPngAlphaBit = 4;

// The header facts of a PNG as it decodes after the reader's transformations
// (below), and the caller's buffer for its rows.
struct PngImage {
  uint8_t* pixels = nullptr;  // rowBytes * height bytes, or null for the facts only
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t rowBytes = 0;   // bytes per decoded row, as libpng reports it
  uint32_t bitDepth = 0;   // bits per decoded sample: 8, or below 8 for packed grey
  uint32_t colorType = 0;  // 0 grey, 2 RGB, 4 grey + alpha, 6 RGB + alpha
};

// Reads the PNG in `file` from its first byte. Palettes become RGB, a tRNS
// chunk becomes an alpha channel and 16-bit samples are cut to 8 bits, so a
// colour picture always decodes to 8-bit RGB or RGBA; grey pictures stay grey.
//
// Fills the facts of `image`. When image->pixels is not null, the facts must
// be those of an earlier call on the same file (the buffer's size), and the
// rows are written there, top row first, rowBytes apart. Returns 1 on
// success; 0 when the file is not a PNG, is damaged, is larger than the
// bounds above (refused before any row is read), or no longer has the facts
// the buffer was sized for. Nothing is printed.
int ReadPngImage(FILE* file, PngImage* image);

// Reads the JPEG in `file` from its first byte. Sets *width and *height from
// the header whenever there is one, then returns 0 unless the picture decodes
// to three-component RGB (grey and CMYK pictures are refused) within the
// bounds above. When `buffer` is not null, *width and *height must hold the
// size of an earlier call on the same file (a file of another size is
// refused), and width * height * 3 bytes of R, G, B are written there, top
// row first, rows back to back. Returns 1 on success, 0 on any library error.
// Nothing is printed.
int ReadJpegImage(FILE* file, uint8_t* buffer, uint32_t* width, uint32_t* height);

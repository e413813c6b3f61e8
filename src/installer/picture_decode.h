// Decoding the installer's pictures (PNG and JPEG files held in memory) into
// top-down 32-bit BGRA pixels, the layout a top-down DIB section takes as is.
#pragma once

#include <cstddef>
#include <cstdint>

// Pictures past these bounds are refused before any pixel memory is taken:
// a window's pictures are small, and a hostile header must not make the stub
// ask for gigabytes.
inline constexpr uint32_t MAX_PICTURE_SIDE = 16384;
inline constexpr uint32_t MAX_PICTURE_PIXELS = 16u * 1024 * 1024;

// Owns its pixel block (malloc'ed): width * height * 4 bytes, rows top-down,
// each pixel B, G, R, A. Opaque pictures have A = 255.
struct Picture {
  Picture() = default;
  ~Picture();
  Picture(Picture&& other) noexcept;
  Picture& operator=(Picture&& other) noexcept;
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;

  uint32_t width = 0;
  uint32_t height = 0;
  uint8_t* pixels = nullptr;
};

enum PictureStatus : int {
  PICTURE_DECODED = 0,
  PICTURE_UNKNOWN_FORMAT = 1,  // neither a PNG nor a JPEG signature
  PICTURE_INVALID = 2,         // damaged data, or a kind of picture we do not show
  PICTURE_TOO_LARGE = 3,       // past MAX_PICTURE_SIDE or MAX_PICTURE_PIXELS
  PICTURE_NO_MEMORY = 4,
};

// Each leaves `picture` as it was unless it returns PICTURE_DECODED.
//
// PNG: every colour type and bit depth; palettes and grey become RGB, a tRNS
// chunk becomes alpha, 16-bit samples are cut to 8 bits.
PictureStatus DecodePng(const uint8_t* data, size_t size, Picture* picture);
// JPEG: three-component (YCbCr or RGB) pictures only; grey and CMYK ones are
// refused as PICTURE_INVALID.
PictureStatus DecodeJpeg(const uint8_t* data, size_t size, Picture* picture);
// Chooses the decoder by the file's signature.
PictureStatus DecodePicture(const uint8_t* data, size_t size, Picture* picture);

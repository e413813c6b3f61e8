// The pixel block of the background picture's bitmap: an uncompressed
// (BI_RGB) device-independent bitmap with a positive height, as GDI lays it
// out in a DIB section's memory.
#pragma once

#include <cstddef>
#include <cstdint>

#include "installer/picture_rows.h"

// Bytes from one row to the next: every row starts on a 4-byte boundary.
size_t DibStride(uint32_t width, uint32_t bytesPerPixel);

// Writes `rows` into `dib` (DibStride * height bytes): bottom row first,
// each pixel B, G, R (then A when there is one), the bytes after each row's
// last pixel up to the stride set to 0.
void WriteDibPixels(const PictureRows& rows, uint8_t* dib);

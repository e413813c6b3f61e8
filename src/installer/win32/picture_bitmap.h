// The installer window's background picture: a PNG or JPEG file made into a
// GDI bitmap the window copies with BitBlt.
#pragma once

#include <windows.h>

#include <cstdio>

// Each decodes `file` from where it stands (it stays open; null gives null)
// and returns a DIB section the caller owns and deletes with DeleteObject:
// biHeight positive (bottom-up), BI_RGB, 24 bits per pixel, or 32 for a PNG
// with alpha (the alpha byte kept as stored; BitBlt ignores it). Returns null
// when the file cannot be decoded, for pictures the installer does not show
// (grey ones, CMYK JPEGs; picture_rows.h), past the size bounds of
// picture_image.h, or when GDI has no memory for the bitmap.
HBITMAP LoadPngBitmap(FILE* file);
HBITMAP LoadJpegBitmap(FILE* file);

#include "installer/win32/picture_bitmap.h"

#include <cstdio>
#include <cstring>

#include "base/win32/gdi_handles.h"
#include "installer/picture_dib.h"
#include "installer/picture_rows.h"

namespace {

using RowsDecoder = int (*)(FILE*, PictureRows*);

// The pixels are written into the section's own memory, whose layout
// CreateDIBSection documents: the header's rows, bottom-up for a positive
// height, each starting on a DWORD boundary. SetBitmapBits would take them
// in the device-dependent layout instead (top-down, rows on WORD boundaries),
// which differs for every 24-bit picture whose width is not a multiple of 4.
HBITMAP CreatePictureBitmap(const PictureRows& rows) {
  BITMAPINFO info;
  memset(&info, 0, sizeof(info));
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = static_cast<LONG>(rows.width);
  info.bmiHeader.biHeight = static_cast<LONG>(rows.height);
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<WORD>(rows.bytesPerPixel * 8);
  info.bmiHeader.biCompression = BI_RGB;

  WindowDC screen(nullptr);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) return nullptr;
  if (bits == nullptr) {
    DeleteObject(bitmap);
    return nullptr;
  }
  GdiFlush();  // no drawing may be pending on memory we write directly
  WriteDibPixels(rows, static_cast<uint8_t*>(bits));
  return bitmap;
}

HBITMAP LoadPictureBitmap(FILE* file, RowsDecoder decode) {
  PictureRows rows;
  if (file == nullptr || !decode(file, &rows)) return nullptr;
  return CreatePictureBitmap(rows);
}

}  // namespace

HBITMAP LoadPngBitmap(FILE* file) { return LoadPictureBitmap(file, DecodePngRows); }

HBITMAP LoadJpegBitmap(FILE* file) { return LoadPictureBitmap(file, DecodeJpegRows); }

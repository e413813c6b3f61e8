// libjpeg's error manager for the installer's picture reader: an error jumps
// back to the reader, and nothing is ever formatted or printed.
#pragma once

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE declared before it

// clang-format off
#include <jpeglib.h>
// clang-format on

struct JpegErrorManager {
  jpeg_error_mgr manager;  // first, so that libjpeg's pointer to it leads back here
  jmp_buf jump;
};

// Fills `errors` by hand instead of with jpeg_std_error. error_exit calls the
// manager's output_message, which writes nothing, then longjmps to
// errors->jump with the value 1; warnings are counted in num_warnings and
// otherwise ignored. The caller arms errors->jump with setjmp before handing
// the manager to libjpeg.
void InitJpegErrorManager(JpegErrorManager* errors);

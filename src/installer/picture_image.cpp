#include "installer/picture_image.h"

// libpng and libjpeg report errors by longjmp. Everything that must survive a
// jump therefore lives in a job object in the caller's frame, and the function
// that calls setjmp holds nothing with a destructor and no local it reads
// after the jump.
#include <csetjmp>
#include <cstring>

#include "installer/picture_jpeg_errors.h"

// clang-format off
#include <png.h>
// clang-format on

namespace {

constexpr size_t kPngSignatureBytes = 8;

bool SizeAllowed(uint32_t width, uint32_t height) {
  return width != 0 && height != 0 && width <= MAX_PICTURE_SIDE && height <= MAX_PICTURE_SIDE &&
         static_cast<uint64_t>(width) * height <= MAX_PICTURE_PIXELS;
}

// ---- PNG ----

// The stub has no console, and libpng's default handlers would link the
// printf family: an error jumps straight back, a warning is dropped.
[[noreturn]] void PngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void PngWarning(png_structp, png_const_charp) {}

// The stub's libpng is built without stdio (no png_init_io), so the file's
// bytes come through this.
void ReadPngBytes(png_structp png, png_bytep out, size_t length) {
  auto* file = static_cast<FILE*>(png_get_io_ptr(png));
  if (fread(out, 1, length, file) != length) png_error(png, "truncated");
}

struct PngJob {
  FILE* file = nullptr;
  PngImage* image = nullptr;
  png_structp png = nullptr;
  png_infop info = nullptr;
};

// Colour pictures of every kind become 8-bit RGB or RGBA, the two layouts a
// bitmap takes; grey ones are left as they are (the loader does not show them).
void RequestEightBitColour(png_structp png, png_infop info) {
  if (png_get_color_type(png, info) == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS) != 0) png_set_tRNS_to_alpha(png);
  png_set_strip_16(png);
}

// The rows the caller's buffer was sized for, from an earlier call on the
// same file. A file that changed in between no longer fits it.
bool FactsMatch(const PngImage& expected, png_structp png, png_infop info) {
  return png_get_image_width(png, info) == expected.width &&
         png_get_image_height(png, info) == expected.height &&
         png_get_rowbytes(png, info) == expected.rowBytes;
}

void CopyFacts(png_structp png, png_infop info, PngImage* image) {
  image->width = png_get_image_width(png, info);
  image->height = png_get_image_height(png, info);
  // Below 2^32: both sides are bounded and a decoded pixel is at most 4 bytes.
  image->rowBytes = static_cast<uint32_t>(png_get_rowbytes(png, info));
  image->bitDepth = png_get_bit_depth(png, info);
  image->colorType = png_get_color_type(png, info);
}

void ReadPngRows(png_structp png, int passes, const PngImage& image) {
  // Interlaced pictures are read row by row once per pass; each pass fills
  // in its pixels of the rows that the earlier passes began.
  for (int pass = 0; pass < passes; ++pass) {
    for (uint32_t y = 0; y < image.height; ++y) {
      png_read_row(png, image.pixels + size_t{y} * image.rowBytes, nullptr);
    }
  }
}

int RunPngJob(PngJob* job) {
  png_set_read_fn(job->png, job->file, ReadPngBytes);
  png_set_sig_bytes(job->png, static_cast<int>(kPngSignatureBytes));
  png_read_info(job->png, job->info);
  if (!SizeAllowed(png_get_image_width(job->png, job->info),
                   png_get_image_height(job->png, job->info))) {
    return 0;
  }
  RequestEightBitColour(job->png, job->info);
  int passes = png_set_interlace_handling(job->png);
  png_read_update_info(job->png, job->info);
  PngImage* image = job->image;
  if (image->pixels != nullptr && !FactsMatch(*image, job->png, job->info)) return 0;
  CopyFacts(job->png, job->info, image);
  // The rows are all we show; what follows the image data is not read.
  if (image->pixels != nullptr) ReadPngRows(job->png, passes, *image);
  return 1;
}

int RunArmedPngJob(PngJob* job) {
  if (setjmp(png_jmpbuf(job->png))) return 0;
  return RunPngJob(job);
}

// ---- JPEG ----

struct JpegJob {
  FILE* file = nullptr;
  uint8_t* buffer = nullptr;
  uint32_t* width = nullptr;
  uint32_t* height = nullptr;
  jpeg_decompress_struct info;
  JpegErrorManager errors;
  jpeg_progress_mgr progress;
};

// libjpeg calls this while it takes in the file; a picture past the scan
// bound ends as a library error.
void LimitScans(j_common_ptr common) {
  if (reinterpret_cast<j_decompress_ptr>(common)->input_scan_number > kMaxJpegScans) {
    (*common->err->error_exit)(common);
  }
}

int ReadJpegRows(jpeg_decompress_struct* info, uint8_t* buffer) {
  size_t rowBytes = size_t{info->output_width} * 3;
  while (info->output_scanline < info->output_height) {
    JSAMPROW row = buffer + size_t{info->output_scanline} * rowBytes;
    // A stdio source never suspends, so 0 rows would only mean a loop here.
    if (jpeg_read_scanlines(info, &row, 1) != 1) return 0;
  }
  return jpeg_finish_decompress(info) ? 1 : 0;
}

int RunJpegJob(JpegJob* job) {
  jpeg_decompress_struct* info = &job->info;
  jpeg_create_decompress(info);
  info->progress = &job->progress;  // after create, which clears the structure
  jpeg_stdio_src(info, job->file);
  if (jpeg_read_header(info, TRUE) != JPEG_HEADER_OK) return 0;
  // The buffer was sized from an earlier call; a file that changed since
  // would not fit it.
  bool sizeChanged = info->image_width != *job->width || info->image_height != *job->height;
  if (job->buffer != nullptr && sizeChanged) return 0;
  *job->width = info->image_width;
  *job->height = info->image_height;
  if (!SizeAllowed(info->image_width, info->image_height)) return 0;
  // Grey (JCS_GRAYSCALE) and CMYK pictures (JCS_CMYK) are not shown.
  if (info->out_color_space != JCS_RGB) return 0;
  if (!jpeg_start_decompress(info)) return 0;
  if (info->output_components != 3 || info->output_width != info->image_width ||
      info->output_height != info->image_height) {
    return 0;
  }
  if (job->buffer == nullptr) return 1;
  return ReadJpegRows(info, job->buffer);
}

int RunArmedJpegJob(JpegJob* job) {
  if (setjmp(job->errors.jump)) return 0;
  return RunJpegJob(job);
}

}  // namespace

int ReadPngImage(FILE* file, PngImage* image) {
  uint8_t signature[kPngSignatureBytes];
  if (fseek(file, 0, SEEK_SET) != 0) return 0;
  if (fread(signature, 1, sizeof(signature), file) != sizeof(signature)) return 0;
  if (png_sig_cmp(signature, 0, sizeof(signature)) != 0) return 0;

  PngJob job;
  job.file = file;
  job.image = image;
  job.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
  if (job.png == nullptr) return 0;
  job.info = png_create_info_struct(job.png);
  int result = job.info != nullptr ? RunArmedPngJob(&job) : 0;
  png_destroy_read_struct(&job.png, &job.info, nullptr);
  return result;
}

int ReadJpegImage(FILE* file, uint8_t* buffer, uint32_t* width, uint32_t* height) {
  if (fseek(file, 0, SEEK_SET) != 0) return 0;
  JpegJob job;
  job.file = file;
  job.buffer = buffer;
  job.width = width;
  job.height = height;
  // Zeroed so that destroying is safe however early an error jumps out.
  memset(&job.info, 0, sizeof(job.info));
  memset(&job.progress, 0, sizeof(job.progress));
  job.progress.progress_monitor = LimitScans;
  InitJpegErrorManager(&job.errors);
  job.info.err = &job.errors.manager;
  int result = RunArmedJpegJob(&job);
  jpeg_destroy_decompress(&job.info);
  return result;
}

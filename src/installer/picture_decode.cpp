#include "installer/picture_decode.h"

// libpng and libjpeg report errors by longjmp. Each decoder therefore keeps
// everything that must survive a jump in a job object owned by the caller's
// frame, and the function that calls setjmp holds no object with a destructor.
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE declared before it
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

// clang-format off
#include <jpeglib.h>
#include <png.h>
// clang-format on

Picture::~Picture() { free(pixels); }

Picture::Picture(Picture&& other) noexcept
    : width(std::exchange(other.width, 0)),
      height(std::exchange(other.height, 0)),
      pixels(std::exchange(other.pixels, nullptr)) {}

Picture& Picture::operator=(Picture&& other) noexcept {
  if (this != &other) {
    free(pixels);
    width = std::exchange(other.width, 0);
    height = std::exchange(other.height, 0);
    pixels = std::exchange(other.pixels, nullptr);
  }
  return *this;
}

namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint8_t kJpegSignature[3] = {0xFF, 0xD8, 0xFF};

bool HasSignature(const uint8_t* data, size_t size, const uint8_t* signature, size_t length) {
  return size >= length && memcmp(data, signature, length) == 0;
}

bool SizeAllowed(uint32_t width, uint32_t height) {
  return width != 0 && height != 0 && width <= MAX_PICTURE_SIDE && height <= MAX_PICTURE_SIDE &&
         static_cast<uint64_t>(width) * height <= MAX_PICTURE_PIXELS;
}

uint8_t* AllocatePixels(uint32_t width, uint32_t height) {
  return static_cast<uint8_t*>(malloc(static_cast<size_t>(width) * height * 4));
}

void Deliver(Picture* picture, uint32_t width, uint32_t height, uint8_t* pixels) {
  free(picture->pixels);
  picture->width = width;
  picture->height = height;
  picture->pixels = pixels;
}

// ---- PNG ----

struct PngJob {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t position = 0;
  png_structp png = nullptr;
  png_infop info = nullptr;
  uint8_t* pixels = nullptr;
  png_bytep* rows = nullptr;
  uint32_t width = 0;
  uint32_t height = 0;
};

void ReadPngBytes(png_structp png, png_bytep out, size_t length) {
  auto* job = static_cast<PngJob*>(png_get_io_ptr(png));
  if (length > job->size - job->position) png_error(png, "truncated");
  memcpy(out, job->data + job->position, length);
  job->position += length;
}

// Asks libpng for 8-bit BGRA whatever the file holds.
void RequestBgra(png_structp png, png_infop info) {
  int colorType = png_get_color_type(png, info);
  bool hasTransparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && png_get_bit_depth(png, info) < 8) {
    png_set_expand_gray_1_2_4_to_8(png);
  }
  if (hasTransparency) png_set_tRNS_to_alpha(png);
  png_set_strip_16(png);
  if ((colorType & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(png);
  png_set_bgr(png);
  if ((colorType & PNG_COLOR_MASK_ALPHA) == 0 && !hasTransparency) {
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  }
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
}

PictureStatus RunPngJob(PngJob* job) {
  if (setjmp(png_jmpbuf(job->png))) return PICTURE_INVALID;
  png_set_read_fn(job->png, job, ReadPngBytes);
  png_read_info(job->png, job->info);
  job->width = png_get_image_width(job->png, job->info);
  job->height = png_get_image_height(job->png, job->info);
  if (!SizeAllowed(job->width, job->height)) return PICTURE_TOO_LARGE;

  RequestBgra(job->png, job->info);
  if (png_get_rowbytes(job->png, job->info) != static_cast<size_t>(job->width) * 4) {
    return PICTURE_INVALID;
  }
  job->pixels = AllocatePixels(job->width, job->height);
  job->rows = static_cast<png_bytep*>(malloc(sizeof(png_bytep) * job->height));
  if (job->pixels == nullptr || job->rows == nullptr) return PICTURE_NO_MEMORY;
  for (uint32_t y = 0; y < job->height; ++y) {
    job->rows[y] = job->pixels + static_cast<size_t>(y) * job->width * 4;
  }
  // The rows are all we show; what follows the image data is not read.
  png_read_image(job->png, job->rows);
  return PICTURE_DECODED;
}

// ---- JPEG ----

struct JpegErrors {
  jpeg_error_mgr manager;  // first, so that libjpeg's pointer leads back here
  jmp_buf jump;
};

// The stub carries none of libjpeg's message texts or printing: filling the
// manager by hand instead of with jpeg_std_error keeps both out of the link.
void JpegErrorExit(j_common_ptr common) {
  longjmp(reinterpret_cast<JpegErrors*>(common->err)->jump, 1);
}
void JpegEmitMessage(j_common_ptr, int) {}
void JpegOutputMessage(j_common_ptr) {}
void JpegFormatMessage(j_common_ptr, char* buffer) { buffer[0] = '\0'; }
void JpegResetErrors(j_common_ptr common) {
  common->err->num_warnings = 0;
  common->err->msg_code = 0;
}

void InitJpegErrors(JpegErrors* errors) {
  memset(&errors->manager, 0, sizeof(errors->manager));
  errors->manager.error_exit = JpegErrorExit;
  errors->manager.emit_message = JpegEmitMessage;
  errors->manager.output_message = JpegOutputMessage;
  errors->manager.format_message = JpegFormatMessage;
  errors->manager.reset_error_mgr = JpegResetErrors;
}

struct JpegJob {
  const uint8_t* data = nullptr;
  size_t size = 0;
  jpeg_decompress_struct info;
  JpegErrors errors;
  uint8_t* pixels = nullptr;
  uint8_t* row = nullptr;
};

bool IsThreeComponentColour(const jpeg_decompress_struct& info) {
  return info.num_components == 3 &&
         (info.jpeg_color_space == JCS_YCbCr || info.jpeg_color_space == JCS_RGB);
}

void RgbRowToBgra(const uint8_t* rgb, uint32_t width, uint8_t* bgra) {
  for (uint32_t x = 0; x < width; ++x, rgb += 3, bgra += 4) {
    bgra[0] = rgb[2];
    bgra[1] = rgb[1];
    bgra[2] = rgb[0];
    bgra[3] = 0xFF;
  }
}

PictureStatus ReadJpegRows(JpegJob* job) {
  jpeg_decompress_struct* info = &job->info;
  uint32_t width = info->output_width;
  job->pixels = AllocatePixels(width, info->output_height);
  job->row = static_cast<uint8_t*>(malloc(static_cast<size_t>(width) * 3));
  if (job->pixels == nullptr || job->row == nullptr) return PICTURE_NO_MEMORY;
  while (info->output_scanline < info->output_height) {
    uint8_t* out = job->pixels + static_cast<size_t>(info->output_scanline) * width * 4;
    JSAMPROW rows[1] = {job->row};
    if (jpeg_read_scanlines(info, rows, 1) != 1) return PICTURE_INVALID;
    RgbRowToBgra(job->row, width, out);
  }
  return PICTURE_DECODED;
}

PictureStatus RunJpegJob(JpegJob* job) {
  jpeg_decompress_struct* info = &job->info;
  if (setjmp(job->errors.jump)) return PICTURE_INVALID;
  jpeg_create_decompress(info);
  if (job->size > std::numeric_limits<unsigned long>::max()) return PICTURE_TOO_LARGE;
  jpeg_mem_src(info, job->data, static_cast<unsigned long>(job->size));
  if (jpeg_read_header(info, TRUE) != JPEG_HEADER_OK) return PICTURE_INVALID;
  if (!IsThreeComponentColour(*info)) return PICTURE_INVALID;
  if (!SizeAllowed(info->image_width, info->image_height)) return PICTURE_TOO_LARGE;

  info->out_color_space = JCS_RGB;
  jpeg_start_decompress(info);
  if (info->output_components != 3 || !SizeAllowed(info->output_width, info->output_height)) {
    return PICTURE_INVALID;
  }
  return ReadJpegRows(job);
}

}  // namespace

PictureStatus DecodePng(const uint8_t* data, size_t size, Picture* picture) {
  if (!HasSignature(data, size, kPngSignature, sizeof(kPngSignature))) return PICTURE_INVALID;
  PngJob job;
  job.data = data;
  job.size = size;
  job.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (job.png == nullptr) return PICTURE_NO_MEMORY;
  job.info = png_create_info_struct(job.png);
  PictureStatus status = job.info != nullptr ? RunPngJob(&job) : PICTURE_NO_MEMORY;
  png_destroy_read_struct(&job.png, &job.info, nullptr);
  free(job.rows);
  if (status != PICTURE_DECODED) {
    free(job.pixels);
    return status;
  }
  Deliver(picture, job.width, job.height, job.pixels);
  return PICTURE_DECODED;
}

PictureStatus DecodeJpeg(const uint8_t* data, size_t size, Picture* picture) {
  if (!HasSignature(data, size, kJpegSignature, sizeof(kJpegSignature))) return PICTURE_INVALID;
  JpegJob job;
  job.data = data;
  job.size = size;
  // Zeroed so that destroying is safe however early an error jumps out.
  memset(&job.info, 0, sizeof(job.info));
  InitJpegErrors(&job.errors);
  job.info.err = &job.errors.manager;
  PictureStatus status = RunJpegJob(&job);
  uint32_t width = job.info.output_width;
  uint32_t height = job.info.output_height;
  jpeg_destroy_decompress(&job.info);
  free(job.row);
  if (status != PICTURE_DECODED) {
    free(job.pixels);
    return status;
  }
  Deliver(picture, width, height, job.pixels);
  return PICTURE_DECODED;
}

PictureStatus DecodePicture(const uint8_t* data, size_t size, Picture* picture) {
  if (HasSignature(data, size, kPngSignature, sizeof(kPngSignature))) {
    return DecodePng(data, size, picture);
  }
  if (HasSignature(data, size, kJpegSignature, sizeof(kJpegSignature))) {
    return DecodeJpeg(data, size, picture);
  }
  return PICTURE_UNKNOWN_FORMAT;
}

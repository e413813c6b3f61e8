#include "picture_samples.h"

#include <zlib.h>

#include <cstdio>  // jpeglib.h needs FILE declared before it
#include <cstdlib>
#include <stdexcept>
#include <string>

// clang-format off
#include <jpeglib.h>
// clang-format on

namespace {

void AppendU32(Bytes& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void AppendChunk(Bytes& out, const char type[5], const Bytes& payload) {
  AppendU32(out, static_cast<uint32_t>(payload.size()));
  const size_t typeStart = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), payload.begin(), payload.end());
  uLong crc = crc32(0, out.data() + typeStart, static_cast<uInt>(out.size() - typeStart));
  AppendU32(out, static_cast<uint32_t>(crc));
}

int SamplesPerPixel(uint8_t colorType) {
  constexpr int kSamples[7] = {1, 0, 3, 1, 2, 0, 4};
  if (colorType > 6 || kSamples[colorType] == 0) throw std::invalid_argument("colour type");
  return kSamples[colorType];
}

size_t RowBytes(const PngSample& sample) {
  size_t bits = size_t{sample.width} * SamplesPerPixel(sample.colorType) * sample.bitDepth;
  return (bits + 7) / 8;
}

// The filter-typed scanlines PNG deflates: each row led by filter 0 (none).
Bytes Scanlines(const PngSample& sample) {
  size_t rowBytes = RowBytes(sample);
  if (sample.rows.size() != rowBytes * sample.height) throw std::invalid_argument("rows");
  Bytes out;
  if (!sample.interlaced) {
    for (uint32_t y = 0; y < sample.height; ++y) {
      out.push_back(0);
      auto row = sample.rows.begin() + static_cast<ptrdiff_t>(rowBytes * y);
      out.insert(out.end(), row, row + static_cast<ptrdiff_t>(rowBytes));
    }
    return out;
  }
  if (sample.bitDepth < 8) throw std::invalid_argument("interlaced sub-byte pixels");
  size_t pixelBytes = rowBytes / sample.width;
  // Adam7: x start, y start, x step, y step of the seven passes.
  static const uint32_t kPasses[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                         {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
  for (const auto& pass : kPasses) {
    if (pass[0] >= sample.width) continue;  // an empty pass has no rows at all
    for (uint32_t y = pass[1]; y < sample.height; y += pass[3]) {
      out.push_back(0);
      for (uint32_t x = pass[0]; x < sample.width; x += pass[2]) {
        auto pixel = sample.rows.begin() + static_cast<ptrdiff_t>(rowBytes * y + pixelBytes * x);
        out.insert(out.end(), pixel, pixel + static_cast<ptrdiff_t>(pixelBytes));
      }
    }
  }
  return out;
}

}  // namespace

PngSample MakePngSample(uint32_t width, uint32_t height, uint8_t bitDepth, uint8_t colorType) {
  PngSample sample;
  sample.width = width;
  sample.height = height;
  sample.bitDepth = bitDepth;
  sample.colorType = colorType;
  sample.rows.assign(RowBytes(sample) * height, 0);
  return sample;
}

Bytes EncodePng(const PngSample& sample) {
  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  AppendU32(header, sample.width);
  AppendU32(header, sample.height);
  header.insert(header.end(), {sample.bitDepth, sample.colorType, 0, 0,
                               static_cast<uint8_t>(sample.interlaced ? 1 : 0)});
  AppendChunk(out, "IHDR", header);
  if (!sample.palette.empty()) AppendChunk(out, "PLTE", sample.palette);
  if (!sample.transparency.empty()) AppendChunk(out, "tRNS", sample.transparency);

  Bytes raw = Scanlines(sample);
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  Bytes packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) !=
      Z_OK) {
    throw std::runtime_error("compress2");
  }
  packed.resize(packedSize);
  AppendChunk(out, "IDAT", packed);
  AppendChunk(out, "IEND", {});
  return out;
}

Bytes EncodeJpeg(uint32_t width, uint32_t height, int components, const Bytes& pixels,
                 int acPasses) {
  if (pixels.size() != size_t{width} * height * static_cast<size_t>(components)) {
    throw std::invalid_argument("pixels");
  }
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = width;
  info.image_height = height;
  info.input_components = components;
  info.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 100, TRUE);
  for (int c = 0; c < info.num_components; ++c) {
    info.comp_info[c].h_samp_factor = 1;
    info.comp_info[c].v_samp_factor = 1;
  }
  std::vector<jpeg_scan_info> scans = {{3, {0, 1, 2, 0}, 0, 0, 0, 0}};
  for (int pass = 0; pass < acPasses; ++pass) {
    const int high = pass == 0 ? 0 : acPasses - pass;  // the bit the pass refines
    for (int coefficient = 1; coefficient < 64; ++coefficient) {
      for (int component = 0; component < 3; ++component) {
        scans.push_back({1, {component}, coefficient, coefficient, high, acPasses - pass - 1});
      }
    }
  }
  if (acPasses > 0) {
    info.scan_info = scans.data();
    info.num_scans = static_cast<int>(scans.size());
  }
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < height) {
    JSAMPROW row = const_cast<JSAMPROW>(pixels.data()) +
                   size_t{info.next_scanline} * width * static_cast<size_t>(components);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  Bytes out(buffer, buffer + size);
  free(buffer);
  return out;
}

Bytes WithClaimedPngSize(Bytes png, uint32_t width, uint32_t height) {
  for (int i = 0; i < 4; ++i) {
    png[16 + i] = static_cast<uint8_t>(width >> (24 - 8 * i));
    png[20 + i] = static_cast<uint8_t>(height >> (24 - 8 * i));
  }
  const auto crc = static_cast<uint32_t>(crc32(0, png.data() + 12, 17));
  for (int i = 0; i < 4; ++i) png[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
  return png;
}

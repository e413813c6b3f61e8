// The background picture's decoding glue against the system's libpng and
// libjpeg: the facts the readers report, which pictures become rows, and the
// bitmap's pixel layout.
#include "installer/picture_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "installer/picture_dib.h"
#include "installer/picture_rows.h"
#include "picture_samples.h"

namespace {

using FilePtr = std::unique_ptr<FILE, int (*)(FILE*)>;

// The bytes in an anonymous temporary file, left positioned at its end: the
// readers must find the first byte themselves.
FilePtr OpenBytes(const Bytes& bytes) {
  FilePtr file(tmpfile(), fclose);
  if (!bytes.empty()) {
    EXPECT_EQ(fwrite(bytes.data(), 1, bytes.size(), file.get()), bytes.size());
  }
  return file;
}

PngSample RgbSample(uint32_t width, uint32_t height) {
  PngSample sample = MakePngSample(width, height, 8, 2);
  for (size_t i = 0; i < sample.rows.size(); ++i) sample.rows[i] = static_cast<uint8_t>(i * 7);
  return sample;
}

// Four flat quadrants: red-ish, green-ish, blue-ish, light grey.
const uint8_t kQuadrantColours[4][3] = {
    {200, 30, 40}, {20, 180, 60}, {30, 40, 220}, {240, 240, 240}};

Bytes Quadrants(uint32_t side) {
  Bytes pixels;
  for (uint32_t y = 0; y < side; ++y) {
    for (uint32_t x = 0; x < side; ++x) {
      const uint8_t* c = kQuadrantColours[(y >= side / 2 ? 2 : 0) + (x >= side / 2 ? 1 : 0)];
      pixels.insert(pixels.end(), c, c + 3);
    }
  }
  return pixels;
}

void ExpectRgbNear(const uint8_t* pixel, const uint8_t* expected) {
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(pixel[i], expected[i], 4) << "sample " << i;
}

// The offset of the first marker `code` (0xC0 the baseline frame header,
// 0xDA a scan header) behind the JPEG's start.
size_t Marker(const Bytes& jpeg, uint8_t code) {
  for (size_t i = 2; i + 9 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == code) return i;
  }
  ADD_FAILURE() << "no marker " << int{code};
  return 0;
}

// "result rowBytes bitDepth colorType" of the facts call, size checked.
std::string Facts(const PngSample& sample) {
  FilePtr file = OpenBytes(EncodePng(sample));
  PngImage image;
  const int result = ReadPngImage(file.get(), &image);
  EXPECT_EQ(image.width, sample.width);
  EXPECT_EQ(image.height, sample.height);
  EXPECT_EQ(image.pixels, nullptr);
  return std::to_string(result) + " " + std::to_string(image.rowBytes) + " " +
         std::to_string(image.bitDepth) + " " + std::to_string(image.colorType);
}

TEST(ReadPngImageTest, FactsDescribeTheRowsAfterConversionAndInterlacingIsUndone) {
  PngSample palette = MakePngSample(5, 2, 4, 3);
  palette.palette = {1, 2, 3, 4, 5, 6};
  PngSample paletteAlpha = palette;
  paletteAlpha.transparency = {7};
  PngSample colourKey = MakePngSample(5, 2, 8, 2);
  colourKey.transparency = {0, 1, 0, 2, 0, 3};
  const std::pair<PngSample, const char*> cases[] = {
      {MakePngSample(5, 2, 8, 2), "1 15 8 2"},
      {MakePngSample(5, 2, 8, 6), "1 20 8 6"},
      {MakePngSample(5, 2, 16, 2), "1 15 8 2"},
      {MakePngSample(5, 2, 16, 6), "1 20 8 6"},
      {palette, "1 15 8 2"},
      {paletteAlpha, "1 20 8 6"},
      {colourKey, "1 20 8 6"},
      // Grey stays grey: the loaders turn it away by its colour type.
      {MakePngSample(5, 2, 8, 0), "1 5 8 0"},
      {MakePngSample(5, 2, 8, 4), "1 10 8 4"},
  };
  for (const auto& [sample, facts] : cases) {
    EXPECT_EQ(Facts(sample), facts) << int{sample.bitDepth} << " " << int{sample.colorType};
  }
  PngSample interlaced = RgbSample(11, 9);
  interlaced.interlaced = true;
  FilePtr file = OpenBytes(EncodePng(interlaced));
  PngImage image;
  ASSERT_EQ(ReadPngImage(file.get(), &image), 1);
  Bytes rows(size_t{image.rowBytes} * image.height, 0xEE);
  image.pixels = rows.data();
  ASSERT_EQ(ReadPngImage(file.get(), &image), 1);
  EXPECT_EQ(rows, interlaced.rows);
}

TEST(ReadPngImageTest, DamagedOversizedOrChangedFilesGiveZeroAndPrintNothing) {
  const Bytes good = EncodePng(RgbSample(8, 8));
  Bytes badHeaderCrc = good;
  badHeaderCrc[30] ^= 1;
  Bytes badData = good;
  badData[good.size() - 20] ^= 0xFF;  // inside the IDAT's deflate stream or CRC
  const Bytes small = EncodePng(RgbSample(1, 1));
  const struct {
    const char* name;
    Bytes file;
    bool rows;  // as the loader's second call, with a buffer for the good file
  } cases[] = {
      {"truncated", Bytes(good.begin(), good.begin() + static_cast<ptrdiff_t>(good.size() / 2)),
       true},
      {"header CRC", badHeaderCrc, false},
      {"image data", badData, true},
      {"signature only", Bytes(good.begin(), good.begin() + 8), false},
      {"JPEG", EncodeJpeg(8, 8, 3, Quadrants(8)), false},
      {"empty", {}, false},
      {"another size", EncodePng(RgbSample(3, 3)), true},
      {"too wide", WithClaimedPngSize(small, MAX_PICTURE_SIDE + 1, 1), false},
      {"too high", WithClaimedPngSize(small, 1, MAX_PICTURE_SIDE + 1), false},
      {"each side allowed, the area not", WithClaimedPngSize(small, 5000, 4000), false},
      {"huge", WithClaimedPngSize(small, 0x7FFFFFFF, 0x7FFFFFFF), false},
  };
  testing::internal::CaptureStderr();
  for (const auto& c : cases) {
    FilePtr file = OpenBytes(c.file);
    Bytes rows(8 * 8 * 3, 0xEE);
    PngImage image;
    image.width = image.height = 8;
    image.rowBytes = 24;
    image.pixels = c.rows ? rows.data() : nullptr;
    EXPECT_EQ(ReadPngImage(file.get(), &image), 0) << c.name;
    EXPECT_EQ(image.rowBytes, 24u) << c.name;  // no facts taken over
    if (std::string_view(c.name) == "another size") {
      EXPECT_EQ(rows, Bytes(rows.size(), 0xEE));
    }
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  // The largest allowed: its facts, though its rows are missing.
  FilePtr largest = OpenBytes(WithClaimedPngSize(small, MAX_PICTURE_SIDE, 1024));
  PngImage image;
  EXPECT_EQ(ReadPngImage(largest.get(), &image), 1);
  EXPECT_EQ(image.rowBytes, MAX_PICTURE_SIDE * 3);
}

struct JpegRead {
  int facts = 0;  // the first call's result
  int rows = 0;   // the second call's, with a buffer of the size it reported
  uint32_t width = 0;
  uint32_t height = 0;
  Bytes rgb;
};

JpegRead ReadJpeg(const Bytes& jpeg, size_t slack = 0) {
  JpegRead read;
  FilePtr file = OpenBytes(jpeg);
  read.facts = ReadJpegImage(file.get(), nullptr, &read.width, &read.height);
  if (read.facts != 1) return read;
  read.rgb.assign(size_t{read.width} * read.height * 3 + slack, 0xEE);
  read.rows = ReadJpegImage(file.get(), read.rgb.data(), &read.width, &read.height);
  return read;
}

TEST(ReadJpegImageTest, ColourPicturesBecomeRgbRowsTopRowFirstBackToBack) {
  const JpegRead quadrants = ReadJpeg(EncodeJpeg(32, 32, 3, Quadrants(32)));
  ASSERT_EQ(quadrants.rows, 1);
  ASSERT_EQ(quadrants.width, 32u);
  ASSERT_EQ(quadrants.height, 32u);
  for (int q = 0; q < 4; ++q) {
    const size_t x = q % 2 == 0 ? 8 : 24, y = q < 2 ? 8 : 24;
    ExpectRgbNear(quadrants.rgb.data() + (y * 32 + x) * 3, kQuadrantColours[q]);
  }
  // Off the block grid: the size is kept and nothing is written past it.
  const JpegRead odd = ReadJpeg(EncodeJpeg(13, 7, 3, Bytes(13 * 7 * 3, 128)), 16);
  ASSERT_EQ(odd.rows, 1);
  EXPECT_EQ(odd.width, 13u);
  EXPECT_EQ(odd.height, 7u);
  const uint8_t grey[3] = {128, 128, 128};
  ExpectRgbNear(odd.rgb.data() + (13 * 7 - 1) * 3, grey);
  EXPECT_EQ(Bytes(odd.rgb.end() - 16, odd.rgb.end()), Bytes(16, 0xEE));
  // Scan data cut short is only a warning: libjpeg fills in the rest.
  Bytes cut = EncodeJpeg(32, 32, 3, Quadrants(32));
  cut.resize((Marker(cut, 0xDA) + 14 + cut.size()) / 2);
  testing::internal::CaptureStderr();
  const JpegRead damaged = ReadJpeg(cut);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(damaged.rows, 1);
  ExpectRgbNear(damaged.rgb.data(), kQuadrantColours[0]);
}

TEST(ReadJpegImageTest, GreyCmykOversizedDamagedOrManyScansAreRefused) {
  const Bytes small = EncodeJpeg(8, 8, 3, Quadrants(8));
  // The same JPEG claiming another size in its frame header.
  auto claiming = [&](uint16_t width, uint16_t height) {
    Bytes jpeg = small;
    const size_t at = Marker(jpeg, 0xC0) + 5;
    jpeg[at] = static_cast<uint8_t>(height >> 8);
    jpeg[at + 1] = static_cast<uint8_t>(height);
    jpeg[at + 2] = static_cast<uint8_t>(width >> 8);
    jpeg[at + 3] = static_cast<uint8_t>(width);
    return jpeg;
  };
  const struct {
    const char* name;
    Bytes file;
    uint32_t width, height;
    bool shown = false;
  } cases[] = {
      {"grey", EncodeJpeg(8, 16, 1, Bytes(8 * 16, 100)), 8, 16},
      {"CMYK", EncodeJpeg(8, 16, 4, Bytes(8 * 16 * 4, 100)), 8, 16},
      {"too wide", claiming(MAX_PICTURE_SIDE + 1, 1), MAX_PICTURE_SIDE + 1, 1},
      {"too high", claiming(1, MAX_PICTURE_SIDE + 1), 1, MAX_PICTURE_SIDE + 1},
      {"too large", claiming(5000, 4000), 5000, 4000},
      {"header cut", Bytes(small.begin(), small.begin() + 40), 0, 0},
      {"garbage", {0xFF, 0xD8, 0xFF, 0x00, 0x13, 0x37}, 0, 0},
      {"PNG", EncodePng(RgbSample(2, 2)), 0, 0},
      {"empty", {}, 0, 0},
      {"379 scans", EncodeJpeg(8, 8, 3, Quadrants(8), 2), 8, 8, true},
      {"568 scans", EncodeJpeg(8, 8, 3, Quadrants(8), 3), 8, 8},
  };
  testing::internal::CaptureStderr();
  for (const auto& c : cases) {
    const JpegRead read = ReadJpeg(c.file);
    EXPECT_EQ(read.facts, c.shown ? 1 : 0) << c.name;
    EXPECT_EQ(read.width, c.width) << c.name;
    EXPECT_EQ(read.height, c.height) << c.name;
    if (!c.shown) continue;
    EXPECT_EQ(read.rows, 1);
    ExpectRgbNear(read.rgb.data(), kQuadrantColours[0]);
    ExpectRgbNear(read.rgb.data() + read.rgb.size() - 3, kQuadrantColours[3]);
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  // A buffer sized for another picture is not written.
  FilePtr file = OpenBytes(EncodeJpeg(16, 16, 3, Quadrants(16)));
  uint32_t width = 8;
  uint32_t height = 8;
  Bytes rgb(8 * 8 * 3, 0xEE);
  EXPECT_EQ(ReadJpegImage(file.get(), rgb.data(), &width, &height), 0);
  EXPECT_EQ(rgb, Bytes(rgb.size(), 0xEE));
}

// Run in the sanitizer build, the failures also show that every failure after
// the pixel block was taken gives it back.
TEST(DecodeRowsTest, ColourPicturesGiveRowsOthersNone) {
  PngSample grey = MakePngSample(10, 1, 1, 0);
  grey.rows = {0xA0, 0x40};
  PngSample greyKey = MakePngSample(2, 1, 8, 0);
  greyKey.transparency = {0, 1};
  PngSample rgba = MakePngSample(2, 3, 8, 6);
  rgba.rows[0] = 9;
  const Bytes rgbPng = EncodePng(RgbSample(16, 16));
  const Bytes rgbJpeg = EncodeJpeg(16, 16, 3, Quadrants(16));
  // A second frame header after the scan: the header reads well, the rows
  // end in a library error.
  Bytes secondFrame(rgbJpeg.begin(), rgbJpeg.end() - 2);
  const size_t frame = Marker(rgbJpeg, 0xC0);
  secondFrame.insert(secondFrame.end(), rgbJpeg.begin() + static_cast<ptrdiff_t>(frame),
                     rgbJpeg.begin() + static_cast<ptrdiff_t>(frame + 2 + rgbJpeg[frame + 3]));
  secondFrame.insert(secondFrame.end(), {0xFF, 0xD9});
  EXPECT_EQ(ReadJpeg(secondFrame).facts, 1);

  const struct {
    const char* name;
    Bytes file;
    int (*decode)(FILE*, PictureRows*);
    uint32_t width, height, bytesPerPixel;
    uint8_t first;
  } cases[] = {
      {"RGB PNG", rgbPng, DecodePngRows, 16, 16, 3, 0},
      {"RGBA PNG", EncodePng(rgba), DecodePngRows, 2, 3, 4, 9},
      {"RGB JPEG", rgbJpeg, DecodeJpegRows, 16, 16, 3, 200},
      {"grey PNG", EncodePng(grey), DecodePngRows, 0, 0, 0, 0},
      {"grey PNG with alpha", EncodePng(MakePngSample(2, 1, 8, 4)), DecodePngRows, 0, 0, 0, 0},
      {"grey PNG with a colour key", EncodePng(greyKey), DecodePngRows, 0, 0, 0, 0},
      {"PNG cut in its image data", Bytes(rgbPng.begin(), rgbPng.end() - 20), DecodePngRows, 0, 0,
       0, 0},
      {"JPEG failing after its rows", secondFrame, DecodeJpegRows, 0, 0, 0, 0},
      {"JPEG as PNG", rgbJpeg, DecodePngRows, 0, 0, 0, 0},
      {"grey JPEG", EncodeJpeg(8, 8, 1, Bytes(64, 100)), DecodeJpegRows, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    FilePtr file = OpenBytes(c.file);
    PictureRows rows;
    EXPECT_EQ(c.decode(file.get(), &rows), c.width != 0 ? 1 : 0) << c.name;
    EXPECT_EQ(rows.width, c.width) << c.name;
    EXPECT_EQ(rows.height, c.height) << c.name;
    EXPECT_EQ(rows.bytesPerPixel, c.bytesPerPixel) << c.name;
    EXPECT_EQ(rows.rowBytes, c.width * c.bytesPerPixel) << c.name;
    EXPECT_EQ(rows.pixels.Get() != nullptr, c.width != 0) << c.name;
    if (c.width != 0) {
      EXPECT_NEAR(rows.pixels.Get()[0], c.first, 4) << c.name;
    }
  }
}

PictureRows RowsOf(uint32_t width, uint32_t height, uint32_t bytesPerPixel, const Bytes& pixels) {
  PictureRows rows;
  rows.pixels.Reset(static_cast<uint8_t*>(malloc(pixels.size())));
  memcpy(rows.pixels.Get(), pixels.data(), pixels.size());
  rows.width = width;
  rows.height = height;
  rows.rowBytes = width * bytesPerPixel;
  rows.bytesPerPixel = bytesPerPixel;
  return rows;
}

TEST(DibLayoutTest, RowsBottomUpBgrOnFourByteBoundariesPaddedWithZeros) {
  const size_t kRgb[] = {4, 8, 12, 12, 16};
  for (uint32_t width = 1; width <= 5; ++width) {
    EXPECT_EQ(DibStride(width, 3), kRgb[width - 1]) << width;
    EXPECT_EQ(DibStride(width, 4), size_t{width} * 4) << width;
  }
  EXPECT_EQ(DibStride(MAX_PICTURE_SIDE, 3), size_t{MAX_PICTURE_SIDE} * 3);
  // Top row: red, green, blue; bottom row: white, black, grey.
  Bytes dib(12 * 2 + 4, 0xEE);
  WriteDibPixels(
      RowsOf(3, 2, 3, {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 1, 2, 3}),
      dib.data());
  EXPECT_EQ(dib, (Bytes{255,  255,  255,  0,   0,   0, 3,   2, 1, 0, 0, 0,  //
                        0,    0,    255,  0,   255, 0, 255, 0, 0, 0, 0, 0,  //
                        0xEE, 0xEE, 0xEE, 0xEE}));
  Bytes rgba(8 + 4, 0xEE);
  WriteDibPixels(RowsOf(1, 2, 4, {10, 20, 30, 40, 50, 60, 70, 80}), rgba.data());
  EXPECT_EQ(rgba, (Bytes{70, 60, 50, 80, 30, 20, 10, 40, 0xEE, 0xEE, 0xEE, 0xEE}));
}

}  // namespace

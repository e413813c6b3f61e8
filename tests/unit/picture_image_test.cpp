// The background picture's decoding glue against the system's libpng and
// libjpeg: what the readers report and write, which pictures become rows, and
// the bitmap's pixel layout.
#include "installer/picture_image.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <utility>

#include "installer/picture_dib.h"
#include "installer/picture_rows.h"
#include "picture_samples.h"

namespace {

using FilePtr = std::unique_ptr<FILE, int (*)(FILE*)>;

// The bytes in an anonymous temporary file, left positioned at its end: the
// readers must find the first byte themselves.
FilePtr OpenBytes(const Bytes& bytes) {
  FilePtr file(tmpfile(), fclose);
  EXPECT_NE(file, nullptr);
  if (file && !bytes.empty()) {
    EXPECT_EQ(fwrite(bytes.data(), 1, bytes.size(), file.get()), bytes.size());
  }
  return file;
}

PngSample RgbSample(uint32_t width, uint32_t height) {
  PngSample sample = MakePngSample(width, height, 8, 2);
  sample.rows.clear();
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      sample.rows.insert(sample.rows.end(),
                         {static_cast<uint8_t>(x * 20 + y), static_cast<uint8_t>(y * 25 + 3),
                          static_cast<uint8_t>(255 - x * y)});
    }
  }
  return sample;
}

// The same JPEG claiming another size in its baseline frame header.
Bytes WithClaimedJpegSize(Bytes jpeg, uint16_t width, uint16_t height) {
  for (size_t i = 2; i + 9 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
      jpeg[i + 5] = static_cast<uint8_t>(height >> 8);
      jpeg[i + 6] = static_cast<uint8_t>(height);
      jpeg[i + 7] = static_cast<uint8_t>(width >> 8);
      jpeg[i + 8] = static_cast<uint8_t>(width);
      return jpeg;
    }
  }
  ADD_FAILURE() << "no frame header";
  return jpeg;
}

// Where the entropy-coded data of the (first) scan begins.
size_t ScanDataStart(const Bytes& jpeg) {
  for (size_t i = 2; i + 3 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA)
      return i + 2 + (size_t{jpeg[i + 2]} << 8) + jpeg[i + 3];
  }
  ADD_FAILURE() << "no scan";
  return jpeg.size();
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

// ---- ReadPngImage ----

struct PngFacts {
  uint32_t rowBytes, bitDepth, colorType;
};

PngFacts FactsOf(const PngSample& sample) {
  FilePtr file = OpenBytes(EncodePng(sample));
  PngImage image;
  EXPECT_EQ(ReadPngImage(file.get(), &image), 1);
  EXPECT_EQ(image.width, sample.width);
  EXPECT_EQ(image.height, sample.height);
  EXPECT_EQ(image.pixels, nullptr);
  return {image.rowBytes, image.bitDepth, image.colorType};
}

void ExpectFacts(const PngFacts& actual, uint32_t rowBytes, uint32_t colorType) {
  EXPECT_EQ(actual.rowBytes, rowBytes);
  EXPECT_EQ(actual.bitDepth, 8u);
  EXPECT_EQ(actual.colorType, colorType);
}

TEST(ReadPngImageTest, FactsDescribeTheRowsAfterConversion) {
  ExpectFacts(FactsOf(MakePngSample(5, 2, 8, 2)), 15, 2);
  ExpectFacts(FactsOf(MakePngSample(5, 2, 8, 6)), 20, 6);
  ExpectFacts(FactsOf(MakePngSample(5, 2, 16, 2)), 15, 2);
  ExpectFacts(FactsOf(MakePngSample(5, 2, 16, 6)), 20, 6);

  PngSample palette = MakePngSample(5, 2, 4, 3);
  palette.palette = {1, 2, 3, 4, 5, 6};
  ExpectFacts(FactsOf(palette), 15, 2);
  palette.transparency = {7};
  ExpectFacts(FactsOf(palette), 20, 6);
  PngSample colourKey = MakePngSample(5, 2, 8, 2);
  colourKey.transparency = {0, 1, 0, 2, 0, 3};
  ExpectFacts(FactsOf(colourKey), 20, 6);

  // Grey stays grey: the loaders turn it away by its colour type.
  ExpectFacts(FactsOf(MakePngSample(5, 2, 8, 0)), 5, 0);
  ExpectFacts(FactsOf(MakePngSample(5, 2, 8, 4)), 10, 4);
}

// Decodes `sample` into rows of the size the first call reports.
Bytes ReadPngRows(const Bytes& png, PngImage* image) {
  FilePtr file = OpenBytes(png);
  EXPECT_EQ(ReadPngImage(file.get(), image), 1);
  Bytes rows(size_t{image->rowBytes} * image->height, 0xEE);
  image->pixels = rows.data();
  EXPECT_EQ(ReadPngImage(file.get(), image), 1);
  image->pixels = nullptr;
  return rows;
}

TEST(ReadPngImageTest, RowsAreEightBitRgbOrRgbaTopRowFirst) {
  PngImage image;
  PngSample rgb = MakePngSample(3, 2, 8, 2);
  rgb.rows = {10, 20, 30, 255, 0, 0, 0, 255, 0, 0, 0, 255, 1, 2, 3, 250, 251, 252};
  EXPECT_EQ(ReadPngRows(EncodePng(rgb), &image), rgb.rows);

  // Five 4-bit indices: an odd count leaves half a byte of padding.
  PngSample palette = MakePngSample(5, 1, 4, 3);
  palette.palette = {0, 0, 0, 255, 255, 255, 200, 10, 20, 1, 2, 3, 90, 80, 70};
  palette.transparency = {0, 128};  // entries past the list stay opaque
  palette.rows = {0x01, 0x23, 0x40};
  EXPECT_EQ(
      ReadPngRows(EncodePng(palette), &image),
      (Bytes{0, 0, 0, 0, 255, 255, 255, 128, 200, 10, 20, 255, 1, 2, 3, 255, 90, 80, 70, 255}));

  PngSample deep = MakePngSample(2, 1, 16, 6);
  deep.rows = {0x12, 0x34, 0xAB, 0xCD, 0xFF, 0x00, 0x80, 0x01,
               0x00, 0xFF, 0x7F, 0xFF, 0x01, 0x00, 0xFF, 0xFF};
  EXPECT_EQ(ReadPngRows(EncodePng(deep), &image),
            (Bytes{0x12, 0xAB, 0xFF, 0x80, 0, 0x7F, 1, 0xFF}));

  PngSample colourKey = MakePngSample(2, 1, 8, 2);
  colourKey.rows = {255, 0, 255, 255, 0, 254};
  colourKey.transparency = {0, 255, 0, 0, 0, 255};  // 16-bit R, G, B of the key
  EXPECT_EQ(ReadPngRows(EncodePng(colourKey), &image), (Bytes{255, 0, 255, 0, 255, 0, 254, 255}));
}

TEST(ReadPngImageTest, InterlacedReadsLikeSequential) {
  PngSample sequential = RgbSample(11, 9);
  PngSample interlaced = sequential;
  interlaced.interlaced = true;
  PngImage image;
  EXPECT_EQ(ReadPngRows(EncodePng(interlaced), &image), sequential.rows);
  EXPECT_EQ(image.width, 11u);
  EXPECT_EQ(image.height, 9u);
}

TEST(ReadPngImageTest, DamagedFilesGiveZeroAndPrintNothing) {
  Bytes good = EncodePng(RgbSample(8, 8));
  Bytes badHeaderCrc = good;
  badHeaderCrc[30] ^= 1;
  Bytes badData = good;
  badData[good.size() - 20] ^= 0xFF;  // inside the IDAT's deflate stream or CRC
  struct Case {
    const char* name;
    Bytes file;
    bool rows;  // as the loader's second call, with a buffer
  };
  const Case cases[] = {
      {"truncated", Bytes(good.begin(), good.begin() + static_cast<ptrdiff_t>(good.size() / 2)),
       true},
      {"header CRC", badHeaderCrc, false},
      {"image data", badData, true},
      {"signature only", Bytes(good.begin(), good.begin() + 8), false},
      {"JPEG", EncodeJpeg(8, 8, 3, Quadrants(8)), false},
      {"empty", {}, false},
  };

  testing::internal::CaptureStderr();
  for (const Case& c : cases) {
    FilePtr file = OpenBytes(c.file);
    PngImage image;
    Bytes rows(8 * 8 * 3);
    image.width = image.height = 8;  // the good file's facts
    image.rowBytes = 24;
    image.pixels = c.rows ? rows.data() : nullptr;
    EXPECT_EQ(ReadPngImage(file.get(), &image), 0) << c.name;
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(ReadPngImageTest, OversizedHeadersAreRefusedBeforeAnyRow) {
  Bytes small = EncodePng(RgbSample(1, 1));
  for (auto [width, height] : {std::pair<uint32_t, uint32_t>{MAX_PICTURE_SIDE + 1, 1},
                               {1, MAX_PICTURE_SIDE + 1},
                               {5000, 4000},  // each side allowed, the area not
                               {0x7FFFFFFF, 0x7FFFFFFF}}) {
    FilePtr file = OpenBytes(WithClaimedPngSize(small, width, height));
    PngImage image;
    EXPECT_EQ(ReadPngImage(file.get(), &image), 0) << width << " x " << height;
    EXPECT_EQ(image.rowBytes, 0u);
  }
  FilePtr largest = OpenBytes(WithClaimedPngSize(small, MAX_PICTURE_SIDE, 1024));
  PngImage image;
  EXPECT_EQ(ReadPngImage(largest.get(), &image), 1);  // the facts; its rows are missing
  EXPECT_EQ(image.rowBytes, MAX_PICTURE_SIDE * 3);
}

TEST(ReadPngImageTest, ABufferSizedForAnotherPictureIsNotWritten) {
  PngImage small;
  FilePtr smallFile = OpenBytes(EncodePng(RgbSample(2, 2)));
  ASSERT_EQ(ReadPngImage(smallFile.get(), &small), 1);
  Bytes rows(size_t{small.rowBytes} * small.height, 0xEE);
  small.pixels = rows.data();

  FilePtr largerFile = OpenBytes(EncodePng(RgbSample(3, 3)));
  EXPECT_EQ(ReadPngImage(largerFile.get(), &small), 0);
  EXPECT_EQ(rows, Bytes(rows.size(), 0xEE));
}

// ---- ReadJpegImage ----

TEST(ReadJpegImageTest, ColourPictureBecomesRgbRowsTopRowFirst) {
  FilePtr file = OpenBytes(EncodeJpeg(32, 32, 3, Quadrants(32)));
  uint32_t width = 0;
  uint32_t height = 0;
  ASSERT_EQ(ReadJpegImage(file.get(), nullptr, &width, &height), 1);
  ASSERT_EQ(width, 32u);
  ASSERT_EQ(height, 32u);
  Bytes rgb(32 * 32 * 3);
  ASSERT_EQ(ReadJpegImage(file.get(), rgb.data(), &width, &height), 1);
  auto at = [&](uint32_t x, uint32_t y) { return rgb.data() + (size_t{y} * 32 + x) * 3; };
  ExpectRgbNear(at(8, 8), kQuadrantColours[0]);
  ExpectRgbNear(at(24, 8), kQuadrantColours[1]);
  ExpectRgbNear(at(8, 24), kQuadrantColours[2]);
  ExpectRgbNear(at(24, 24), kQuadrantColours[3]);
}

TEST(ReadJpegImageTest, SizesOffTheBlockGridAreKept) {
  FilePtr file = OpenBytes(EncodeJpeg(13, 7, 3, Bytes(13 * 7 * 3, 128)));
  uint32_t width = 0;
  uint32_t height = 0;
  ASSERT_EQ(ReadJpegImage(file.get(), nullptr, &width, &height), 1);
  Bytes rgb(13 * 7 * 3 + 16, 0xEE);
  ASSERT_EQ(ReadJpegImage(file.get(), rgb.data(), &width, &height), 1);
  EXPECT_EQ(width, 13u);
  EXPECT_EQ(height, 7u);
  const uint8_t grey[3] = {128, 128, 128};
  ExpectRgbNear(rgb.data() + (13 * 7 - 1) * 3, grey);
  EXPECT_EQ(Bytes(rgb.end() - 16, rgb.end()), Bytes(16, 0xEE));
}

TEST(ReadJpegImageTest, GreyAndCmykAreRefusedButReportTheirSize) {
  for (int components : {1, 4}) {
    FilePtr file = OpenBytes(EncodeJpeg(8, 16, components, Bytes(8 * 16 * components, 100)));
    uint32_t width = 0;
    uint32_t height = 0;
    EXPECT_EQ(ReadJpegImage(file.get(), nullptr, &width, &height), 0) << components;
    EXPECT_EQ(width, 8u);
    EXPECT_EQ(height, 16u);
  }
}

TEST(ReadJpegImageTest, DamagedFilesGiveZeroAndPrintNothing) {
  Bytes good = EncodeJpeg(16, 16, 3, Quadrants(16));
  Bytes headerCut(good.begin(), good.begin() + 40);
  Bytes garbage = {0xFF, 0xD8, 0xFF, 0x00, 0x13, 0x37};
  Bytes png = EncodePng(RgbSample(2, 2));
  Bytes empty;

  testing::internal::CaptureStderr();
  for (const Bytes* damaged : {&headerCut, &garbage, &png, &empty}) {
    FilePtr file = OpenBytes(*damaged);
    uint32_t width = 0;
    uint32_t height = 0;
    EXPECT_EQ(ReadJpegImage(file.get(), nullptr, &width, &height), 0);
  }
  // Scan data cut short is only a warning: libjpeg fills in the rest.
  Bytes quadrants = EncodeJpeg(32, 32, 3, Quadrants(32));
  size_t scanStart = ScanDataStart(quadrants);
  Bytes dataCut(quadrants.begin(),
                quadrants.begin() + static_cast<ptrdiff_t>((scanStart + quadrants.size()) / 2));
  FilePtr file = OpenBytes(dataCut);
  uint32_t width = 32;
  uint32_t height = 32;
  Bytes rgb(32 * 32 * 3);
  EXPECT_EQ(ReadJpegImage(file.get(), rgb.data(), &width, &height), 1);
  ExpectRgbNear(rgb.data(), kQuadrantColours[0]);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(ReadJpegImageTest, OversizedHeadersAreRefused) {
  Bytes small = EncodeJpeg(8, 8, 3, Quadrants(8));
  for (auto [width, height] : {std::pair<uint16_t, uint16_t>{MAX_PICTURE_SIDE + 1, 1},
                               {1, MAX_PICTURE_SIDE + 1},
                               {5000, 4000}}) {
    FilePtr file = OpenBytes(WithClaimedJpegSize(small, width, height));
    uint32_t readWidth = 0;
    uint32_t readHeight = 0;
    EXPECT_EQ(ReadJpegImage(file.get(), nullptr, &readWidth, &readHeight), 0);
    EXPECT_EQ(readWidth, width);
    EXPECT_EQ(readHeight, height);
  }
}

TEST(ReadJpegImageTest, ABufferSizedForAnotherPictureIsNotWritten) {
  FilePtr file = OpenBytes(EncodeJpeg(16, 16, 3, Quadrants(16)));
  uint32_t width = 8;
  uint32_t height = 8;
  Bytes rgb(8 * 8 * 3, 0xEE);
  EXPECT_EQ(ReadJpegImage(file.get(), rgb.data(), &width, &height), 0);
  EXPECT_EQ(rgb, Bytes(rgb.size(), 0xEE));
}

TEST(ReadJpegImageTest, ProgressivePicturesOfTooManyScansAreRefused) {
  Bytes pixels = Quadrants(8);
  uint32_t width = 0;
  uint32_t height = 0;
  FilePtr few = OpenBytes(EncodeProgressiveJpeg(8, 8, pixels, 2));  // 379 scans
  ASSERT_EQ(ReadJpegImage(few.get(), nullptr, &width, &height), 1);
  Bytes rgb(8 * 8 * 3);
  ASSERT_EQ(ReadJpegImage(few.get(), rgb.data(), &width, &height), 1);
  ExpectRgbNear(rgb.data(), kQuadrantColours[0]);
  ExpectRgbNear(rgb.data() + rgb.size() - 3, kQuadrantColours[3]);

  FilePtr many = OpenBytes(EncodeProgressiveJpeg(8, 8, pixels, 3));  // 568 scans
  EXPECT_EQ(ReadJpegImage(many.get(), nullptr, &width, &height), 0);
}

// ---- DecodePngRows, DecodeJpegRows ----

// The JPEG with a second frame header after its scan: the header and the
// first call read well, the rows end in a library error.
Bytes WithSecondFrame(const Bytes& jpeg) {
  for (size_t i = 2; i + 3 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
      size_t length = 2 + (size_t{jpeg[i + 2]} << 8) + jpeg[i + 3];
      Bytes out(jpeg.begin(), jpeg.end() - 2);  // without the end marker
      out.insert(out.end(), jpeg.begin() + static_cast<ptrdiff_t>(i),
                 jpeg.begin() + static_cast<ptrdiff_t>(i + length));
      out.insert(out.end(), {0xFF, 0xD9});
      return out;
    }
  }
  ADD_FAILURE() << "no frame header";
  return jpeg;
}

// Run in the sanitizer build, these also show that every failure after the
// pixel block was taken gives it back.
TEST(DecodeRowsTest, PicturesNotShownGiveNoRows) {
  PngSample grey = MakePngSample(10, 1, 1, 0);
  grey.rows = {0xA0, 0x40};
  PngSample greyAlpha = MakePngSample(2, 1, 8, 4);
  PngSample greyKey = MakePngSample(2, 1, 8, 0);
  greyKey.transparency = {0, 1};
  Bytes rgbPng = EncodePng(RgbSample(16, 16));
  Bytes rgbJpeg = EncodeJpeg(16, 16, 3, Quadrants(16));
  uint32_t width = 0;
  uint32_t height = 0;
  FilePtr secondFrame = OpenBytes(WithSecondFrame(rgbJpeg));
  ASSERT_EQ(ReadJpegImage(secondFrame.get(), nullptr, &width, &height), 1);

  struct Case {
    const char* name;
    Bytes file;
    int (*decode)(FILE*, PictureRows*);
  };
  const Case cases[] = {
      {"grey PNG", EncodePng(grey), DecodePngRows},
      {"grey PNG with alpha", EncodePng(greyAlpha), DecodePngRows},
      {"grey PNG with a colour key", EncodePng(greyKey), DecodePngRows},
      {"PNG cut in its image data", Bytes(rgbPng.begin(), rgbPng.end() - 20), DecodePngRows},
      {"grey JPEG", EncodeJpeg(8, 8, 1, Bytes(64, 100)), DecodeJpegRows},
      {"CMYK JPEG", EncodeJpeg(8, 8, 4, Bytes(256, 100)), DecodeJpegRows},
      {"JPEG failing after its rows", WithSecondFrame(rgbJpeg), DecodeJpegRows},
      {"JPEG as PNG", rgbJpeg, DecodePngRows},
      {"PNG as JPEG", rgbPng, DecodeJpegRows},
  };
  for (const Case& c : cases) {
    FilePtr file = OpenBytes(c.file);
    PictureRows rows;
    EXPECT_EQ(c.decode(file.get(), &rows), 0) << c.name;
    EXPECT_EQ(rows.pixels.Get(), nullptr);
    EXPECT_EQ(rows.width, 0u);
  }
}

// ---- The bitmap's pixel block ----

TEST(DibLayoutTest, RowsStartOnFourByteBoundaries) {
  const size_t kRgb[] = {4, 8, 12, 12, 16};
  for (uint32_t width = 1; width <= 5; ++width) {
    EXPECT_EQ(DibStride(width, 3), kRgb[width - 1]) << width;
    EXPECT_EQ(DibStride(width, 4), size_t{width} * 4) << width;
  }
  EXPECT_EQ(DibStride(MAX_PICTURE_SIDE, 3), size_t{MAX_PICTURE_SIDE} * 3);
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

TEST(DibLayoutTest, RgbRowsBecomeBottomUpBgrPaddedWithZeros) {
  // Top row: red, green, blue; bottom row: white, black, grey.
  PictureRows rows = RowsOf(3, 2, 3,
                            {255, 0, 0, 0, 255, 0, 0, 0, 255,  //
                             255, 255, 255, 0, 0, 0, 1, 2, 3});
  Bytes dib(12 * 2 + 4, 0xEE);
  WriteDibPixels(rows, dib.data());
  EXPECT_EQ(dib, (Bytes{255,  255,  255,  0,   0,   0, 3,   2, 1, 0, 0, 0,  //
                        0,    0,    255,  0,   255, 0, 255, 0, 0, 0, 0, 0,  //
                        0xEE, 0xEE, 0xEE, 0xEE}));
}

TEST(DibLayoutTest, RgbaRowsKeepTheirAlpha) {
  PictureRows rows = RowsOf(1, 2, 4, {10, 20, 30, 40, 50, 60, 70, 80});
  Bytes dib(8 + 4, 0xEE);
  WriteDibPixels(rows, dib.data());
  EXPECT_EQ(dib, (Bytes{70, 60, 50, 80, 30, 20, 10, 40, 0xEE, 0xEE, 0xEE, 0xEE}));
}

}  // namespace

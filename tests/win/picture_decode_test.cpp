// The stub's picture decoders against the static libpng and libjpeg it links.
#include "installer/picture_decode.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <ostream>

#include "picture_samples.h"

namespace {

struct Bgra {
  int b, g, r, a;
  bool operator==(const Bgra&) const = default;
  friend std::ostream& operator<<(std::ostream& out, const Bgra& p) {
    return out << "BGRA(" << p.b << ", " << p.g << ", " << p.r << ", " << p.a << ")";
  }
};

Bgra PixelAt(const Picture& picture, uint32_t x, uint32_t y) {
  const uint8_t* p = picture.pixels + (size_t{y} * picture.width + x) * 4;
  return {p[0], p[1], p[2], p[3]};
}

Bgra Opaque(int r, int g, int b) { return {b, g, r, 255}; }

PictureStatus Decode(const Bytes& file, Picture* picture) {
  return DecodePicture(file.data(), file.size(), picture);
}

// The same file claiming another size in its IHDR (with a valid CRC), so that
// size limits can be tried without megabytes of pixels.
Bytes WithClaimedSize(Bytes png, uint32_t width, uint32_t height) {
  for (int i = 0; i < 4; ++i) {
    png[16 + i] = static_cast<uint8_t>(width >> (24 - 8 * i));
    png[20 + i] = static_cast<uint8_t>(height >> (24 - 8 * i));
  }
  uint32_t crc = static_cast<uint32_t>(crc32(0, png.data() + 12, 17));
  for (int i = 0; i < 4; ++i) png[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
  return png;
}

PngSample RgbSample(uint32_t width, uint32_t height) {
  PngSample sample = MakePngSample(width, height, 8, 2);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      sample.rows.insert(sample.rows.end(),
                         {static_cast<uint8_t>(x * 20 + y), static_cast<uint8_t>(y * 25 + 3),
                          static_cast<uint8_t>(255 - x * y)});
    }
  }
  return sample;
}

TEST(PngDecodeTest, RgbBecomesOpaqueBgraTopDown) {
  PngSample sample = MakePngSample(3, 2, 8, 2);
  sample.rows = {10, 20, 30, 255, 0, 0, 0, 255, 0, 0, 0, 255, 1, 2, 3, 250, 251, 252};
  Picture picture;
  ASSERT_EQ(Decode(EncodePng(sample), &picture), PICTURE_DECODED);
  ASSERT_EQ(picture.width, 3u);
  ASSERT_EQ(picture.height, 2u);
  EXPECT_EQ(PixelAt(picture, 0, 0), Opaque(10, 20, 30));
  EXPECT_EQ(PixelAt(picture, 1, 0), Opaque(255, 0, 0));
  EXPECT_EQ(PixelAt(picture, 2, 0), Opaque(0, 255, 0));
  EXPECT_EQ(PixelAt(picture, 0, 1), Opaque(0, 0, 255));
  EXPECT_EQ(PixelAt(picture, 2, 1), Opaque(250, 251, 252));
}

TEST(PngDecodeTest, PackedPaletteWithTransparencyBecomesRgba) {
  // Five 4-bit indices: an odd count leaves half a byte of padding.
  PngSample sample = MakePngSample(5, 1, 4, 3);
  sample.palette = {0, 0, 0, 255, 255, 255, 200, 10, 20, 1, 2, 3, 90, 80, 70};
  sample.transparency = {0, 128};  // entries past the list stay opaque
  sample.rows = {0x01, 0x23, 0x40};
  Picture picture;
  ASSERT_EQ(Decode(EncodePng(sample), &picture), PICTURE_DECODED);
  ASSERT_EQ(picture.width, 5u);
  EXPECT_EQ(PixelAt(picture, 0, 0), (Bgra{0, 0, 0, 0}));
  EXPECT_EQ(PixelAt(picture, 1, 0), (Bgra{255, 255, 255, 128}));
  EXPECT_EQ(PixelAt(picture, 2, 0), Opaque(200, 10, 20));
  EXPECT_EQ(PixelAt(picture, 4, 0), Opaque(90, 80, 70));
}

TEST(PngDecodeTest, SixteenBitSamplesKeepTheirHighByte) {
  PngSample sample = MakePngSample(2, 1, 16, 6);
  sample.rows = {0x12, 0x34, 0xAB, 0xCD, 0xFF, 0x00, 0x80, 0x01,
                 0x00, 0xFF, 0x7F, 0xFF, 0x01, 0x00, 0xFF, 0xFF};
  Picture picture;
  ASSERT_EQ(Decode(EncodePng(sample), &picture), PICTURE_DECODED);
  EXPECT_EQ(PixelAt(picture, 0, 0), (Bgra{0xFF, 0xAB, 0x12, 0x80}));
  EXPECT_EQ(PixelAt(picture, 1, 0), (Bgra{0x01, 0x7F, 0x00, 0xFF}));
}

TEST(PngDecodeTest, GreyBecomesRgb) {
  PngSample bits = MakePngSample(10, 1, 1, 0);
  bits.rows = {0b10100000, 0b01000000};
  Picture picture;
  ASSERT_EQ(Decode(EncodePng(bits), &picture), PICTURE_DECODED);
  EXPECT_EQ(PixelAt(picture, 0, 0), Opaque(255, 255, 255));
  EXPECT_EQ(PixelAt(picture, 1, 0), Opaque(0, 0, 0));
  EXPECT_EQ(PixelAt(picture, 2, 0), Opaque(255, 255, 255));
  EXPECT_EQ(PixelAt(picture, 9, 0), Opaque(255, 255, 255));

  PngSample withAlpha = MakePngSample(2, 1, 8, 4);
  withAlpha.rows = {40, 200, 210, 0};
  ASSERT_EQ(Decode(EncodePng(withAlpha), &picture), PICTURE_DECODED);
  EXPECT_EQ(PixelAt(picture, 0, 0), (Bgra{40, 40, 40, 200}));
  EXPECT_EQ(PixelAt(picture, 1, 0), (Bgra{210, 210, 210, 0}));
}

TEST(PngDecodeTest, ColourKeyBecomesTransparent) {
  PngSample sample = MakePngSample(2, 1, 8, 2);
  sample.rows = {255, 0, 255, 255, 0, 254};
  sample.transparency = {0, 255, 0, 0, 0, 255};  // 16-bit R, G, B of the key
  Picture picture;
  ASSERT_EQ(Decode(EncodePng(sample), &picture), PICTURE_DECODED);
  EXPECT_EQ(PixelAt(picture, 0, 0).a, 0);
  EXPECT_EQ(PixelAt(picture, 1, 0), Opaque(255, 0, 254));
}

TEST(PngDecodeTest, InterlacedDecodesLikeSequential) {
  PngSample sequential = RgbSample(11, 9);
  PngSample interlaced = sequential;
  interlaced.interlaced = true;
  Picture a;
  Picture b;
  ASSERT_EQ(Decode(EncodePng(sequential), &a), PICTURE_DECODED);
  ASSERT_EQ(Decode(EncodePng(interlaced), &b), PICTURE_DECODED);
  ASSERT_EQ(b.width, 11u);
  ASSERT_EQ(b.height, 9u);
  EXPECT_EQ(memcmp(a.pixels, b.pixels, 11 * 9 * 4), 0);
  EXPECT_EQ(PixelAt(b, 10, 8), Opaque(208, 203, 175));
}

TEST(PngDecodeTest, DamagedFilesAreRefusedAndLeaveThePictureAlone) {
  Bytes good = EncodePng(RgbSample(8, 8));
  Picture picture;
  ASSERT_EQ(Decode(good, &picture), PICTURE_DECODED);
  const uint8_t* kept = picture.pixels;

  Bytes truncated(good.begin(), good.begin() + static_cast<ptrdiff_t>(good.size() / 2));
  EXPECT_EQ(Decode(truncated, &picture), PICTURE_INVALID);
  Bytes badCrc = good;
  badCrc[30] ^= 1;  // inside the IHDR CRC
  EXPECT_EQ(Decode(badCrc, &picture), PICTURE_INVALID);
  Bytes badData = good;
  badData[good.size() - 20] ^= 0xFF;  // inside the IDAT's deflate stream or CRC
  EXPECT_EQ(Decode(badData, &picture), PICTURE_INVALID);
  Bytes signatureOnly(good.begin(), good.begin() + 8);
  EXPECT_EQ(Decode(signatureOnly, &picture), PICTURE_INVALID);

  EXPECT_EQ(picture.pixels, kept);
  EXPECT_EQ(picture.width, 8u);
}

TEST(PngDecodeTest, OversizedPicturesAreRefusedBeforeDecoding) {
  Bytes small = EncodePng(RgbSample(1, 1));
  Picture picture;
  EXPECT_EQ(Decode(WithClaimedSize(small, MAX_PICTURE_SIDE + 1, 1), &picture), PICTURE_TOO_LARGE);
  EXPECT_EQ(Decode(WithClaimedSize(small, 1, MAX_PICTURE_SIDE + 1), &picture), PICTURE_TOO_LARGE);
  // Each side allowed, the area not.
  EXPECT_EQ(Decode(WithClaimedSize(small, 5000, 4000), &picture), PICTURE_TOO_LARGE);
  EXPECT_EQ(picture.pixels, nullptr);
}

Bytes Quadrants(uint32_t side) {
  static const uint8_t kColours[4][3] = {
      {200, 30, 40}, {20, 180, 60}, {30, 40, 220}, {240, 240, 240}};
  Bytes pixels;
  for (uint32_t y = 0; y < side; ++y) {
    for (uint32_t x = 0; x < side; ++x) {
      const uint8_t* c = kColours[(y >= side / 2 ? 2 : 0) + (x >= side / 2 ? 1 : 0)];
      pixels.insert(pixels.end(), c, c + 3);
    }
  }
  return pixels;
}

void ExpectNear(const Bgra& actual, const Bgra& expected) {
  EXPECT_NEAR(actual.b, expected.b, 4) << actual;
  EXPECT_NEAR(actual.g, expected.g, 4) << actual;
  EXPECT_NEAR(actual.r, expected.r, 4) << actual;
  EXPECT_EQ(actual.a, 255);
}

TEST(JpegDecodeTest, ColourPictureBecomesOpaqueBgra) {
  Picture picture;
  ASSERT_EQ(Decode(EncodeJpeg(32, 32, 3, Quadrants(32)), &picture), PICTURE_DECODED);
  ASSERT_EQ(picture.width, 32u);
  ASSERT_EQ(picture.height, 32u);
  ExpectNear(PixelAt(picture, 8, 8), Opaque(200, 30, 40));
  ExpectNear(PixelAt(picture, 24, 8), Opaque(20, 180, 60));
  ExpectNear(PixelAt(picture, 8, 24), Opaque(30, 40, 220));
  ExpectNear(PixelAt(picture, 24, 24), Opaque(240, 240, 240));
}

TEST(JpegDecodeTest, SizesOffTheBlockGridAreKept) {
  Bytes pixels(13 * 7 * 3, 128);
  Picture picture;
  ASSERT_EQ(Decode(EncodeJpeg(13, 7, 3, pixels), &picture), PICTURE_DECODED);
  EXPECT_EQ(picture.width, 13u);
  EXPECT_EQ(picture.height, 7u);
  ExpectNear(PixelAt(picture, 12, 6), Opaque(128, 128, 128));
}

TEST(JpegDecodeTest, GreyCmykAndDamagedFilesAreRefused) {
  Picture picture;
  EXPECT_EQ(Decode(EncodeJpeg(8, 8, 1, Bytes(64, 100)), &picture), PICTURE_INVALID);
  EXPECT_EQ(Decode(EncodeJpeg(8, 8, 4, Bytes(256, 100)), &picture), PICTURE_INVALID);

  Bytes good = EncodeJpeg(16, 16, 3, Quadrants(16));
  Bytes headerCut(good.begin(), good.begin() + 40);
  EXPECT_EQ(Decode(headerCut, &picture), PICTURE_INVALID);
  Bytes garbage = {0xFF, 0xD8, 0xFF, 0x00, 0x13, 0x37};
  EXPECT_EQ(Decode(garbage, &picture), PICTURE_INVALID);
  EXPECT_EQ(picture.pixels, nullptr);
}

TEST(DecodePictureTest, ChoosesTheDecoderBySignature) {
  Bytes png = EncodePng(RgbSample(2, 2));
  Bytes jpeg = EncodeJpeg(16, 16, 3, Quadrants(16));
  Picture picture;
  EXPECT_EQ(Decode(png, &picture), PICTURE_DECODED);
  EXPECT_EQ(Decode(jpeg, &picture), PICTURE_DECODED);
  EXPECT_EQ(picture.width, 16u);

  Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0};
  EXPECT_EQ(Decode(gif, &picture), PICTURE_UNKNOWN_FORMAT);
  EXPECT_EQ(DecodePicture(nullptr, 0, &picture), PICTURE_UNKNOWN_FORMAT);
  // Asked for the wrong kind, each decoder refuses rather than guesses.
  EXPECT_EQ(DecodePng(jpeg.data(), jpeg.size(), &picture), PICTURE_INVALID);
  EXPECT_EQ(DecodeJpeg(png.data(), png.size(), &picture), PICTURE_INVALID);
  EXPECT_EQ(picture.width, 16u);
}

}  // namespace

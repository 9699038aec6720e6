// Pixel formats beyond 8 and 16 bits: packings and colour families against hand-worked bytes,
// packed and unpacked twins, short frames, and the fast paths against their plain forms.
#include "image_convert.h"
#include "packing.h"
#include "pixel_formats.h"

#include "sdk_test_support.h"

#include <cstring>

namespace {

// Converts a frame of format made of bytes (at a word-aligned address) at unit gains, and
// returns the converted samples (R G B per pixel, or grey), 8- or 16-bit.
std::vector<uint32_t> ConvertBytes(uint32_t format, uint32_t width, uint32_t height,
                                   const std::vector<uint8_t> &bytes)
{
    std::vector<uint16_t> words((bytes.size() + 1) / 2);
    std::memcpy(words.data(), bytes.data(), bytes.size());
    const J_IMAGE_RECORD raw{format,
                             width,
                             height,
                             static_cast<uint32_t>(bytes.size()),
                             reinterpret_cast<uint8_t *>(words.data()),
                             1,
                             2};
    return ConvertedSamples(raw);
}

std::vector<uint8_t> Words(const std::vector<uint16_t> &values)
{
    std::vector<uint8_t> bytes(2 * values.size());
    std::memcpy(bytes.data(), values.data(), bytes.size());
    return bytes;
}

// Random frame bytes of format at width x height, packed from random samples.
std::vector<uint8_t> RandomFrame(const PixelFormatInfo &format, uint32_t width, uint32_t height,
                                 std::mt19937 *random)
{
    uint32_t bytes = 0;
    EXPECT_TRUE(ImageBytes(format, width, height, &bytes));
    std::vector<uint8_t> frame(bytes);
    for (uint8_t &byte : frame)
        byte = static_cast<uint8_t>((*random)());
    return frame;
}

} // namespace

// Each packing worked out from its definition: 10-bit samples 1023, 1, 682, 341 and 12-bit
// samples 0xABC, 0x123 (10-bit 0x2AD, 0x0C6 for GigE Vision), two rows of one or two pixels so
// that the PFNC formats run on across the row end. Widened: 10 bits v << 6 | v >> 4, 12 bits
// v << 4 | v >> 8.
TEST(SdkFormats, EachPackingGivesItsHandWorkedSamples)
{
    // Mono10p, LSB first: FF | 0b000001'11 | 0b1010'0000 | 0b01'101010 | 0b01010101.
    EXPECT_EQ(ConvertBytes(J_PF_MONO10P, 2, 2, {0xFF, 0x07, 0xA0, 0x6A, 0x55}),
              (std::vector<uint32_t>{65535, 64, 43690, 21845}));
    // Mono12p: low 8 bits of the first, its high 4 bits under the second's low 4, then the
    // second's high 8.
    EXPECT_EQ(ConvertBytes(J_PF_MONO12P, 1, 2, {0xBC, 0x3A, 0x12}),
              (std::vector<uint32_t>{0xABCA, 0x1231}));
    // GigE Vision: high 8 bits of each whole, the low bits shared in the middle byte.
    EXPECT_EQ(ConvertBytes(J_PF_MONO12_PACKED, 1, 2, {0xAB, 0x3C, 0x12}),
              (std::vector<uint32_t>{0xABCA, 0x1231}));
    EXPECT_EQ(ConvertBytes(J_PF_MONO10_PACKED, 2, 1, {0xAB, 0x21, 0x31}),
              (std::vector<uint32_t>{0xAB6A, 0x318C}));
    // An odd count ends in a part group: 3 Mono12Packed pixels in 5 bytes.
    EXPECT_EQ(ConvertBytes(J_PF_MONO12_PACKED, 3, 1, {0xAB, 0x3C, 0x12, 0xFF, 0x0F}),
              (std::vector<uint32_t>{0xABCA, 0x1231, 0xFFFF}));
    // Unpacked deep words: Mono14 widened v << 2 | v >> 12.
    EXPECT_EQ(ConvertBytes(J_PF_MONO14, 2, 1, Words({16383, 4096})),
              (std::vector<uint32_t>{65535, 16385}));
}

TEST(SdkFormats, ColourFamiliesGiveRgbInOrderWithoutAlpha)
{
    const std::vector<uint32_t> rgb = {1, 2, 3, 40, 50, 60};
    EXPECT_EQ(ConvertBytes(J_PF_RGB8, 2, 1, {1, 2, 3, 40, 50, 60}), rgb);
    EXPECT_EQ(ConvertBytes(J_PF_BGR8, 2, 1, {3, 2, 1, 60, 50, 40}), rgb);
    EXPECT_EQ(ConvertBytes(J_PF_RGBA8, 2, 1, {1, 2, 3, 255, 40, 50, 60, 0}), rgb);
    EXPECT_EQ(ConvertBytes(J_PF_BGRA8, 2, 1, {3, 2, 1, 9, 60, 50, 40, 9}), rgb);
    EXPECT_EQ(ConvertBytes(J_PF_BGR10, 1, 1, Words({512, 0, 1023})),
              (std::vector<uint32_t>{65535, 0, 32800}));
    EXPECT_EQ(ConvertBytes(J_PF_RGB12, 1, 1, Words({4095, 2048, 1})),
              (std::vector<uint32_t>{65535, 32776, 16}));
    EXPECT_EQ(ConvertBytes(J_PF_BGR16, 1, 1, Words({1, 2, 65535})),
              (std::vector<uint32_t>{65535, 2, 1}));
    // BT.601 full range: Y 100, U 128, V 200 is R 100 + 1.402 * 72 = 200.9, G 100 - 0.714136
    // * 72 = 48.6, B 100; Y 50 with the same U and V: R 150.9, G -1.4 (clamped to 0), B 50.
    const std::vector<uint32_t> yuv = {201, 49, 100, 151, 0, 50};
    EXPECT_EQ(ConvertBytes(J_PF_YUV422_8, 2, 1, {100, 128, 50, 200}), yuv);
    EXPECT_EQ(ConvertBytes(J_PF_YCBCR422_8, 2, 1, {100, 128, 50, 200}), yuv);
    EXPECT_EQ(ConvertBytes(J_PF_YUV422_8_UYVY, 2, 1, {128, 100, 200, 50}), yuv);
    // U 255 (+127): B 255 + 225 clamps at 255; G 255 - 43.7 = 211.3.
    EXPECT_EQ(ConvertBytes(J_PF_YUV422_8, 2, 1, {255, 255, 255, 128}),
              (std::vector<uint32_t>{255, 211, 255, 255, 211, 255}));
}

TEST(SdkFormats, PackedAndUnpackedTwinsConvertAlike)
{
    const std::vector<std::vector<uint32_t>> twins = {
        {J_PF_MONO10, J_PF_MONO10P, J_PF_MONO10_PACKED},
        {J_PF_MONO12, J_PF_MONO12P, J_PF_MONO12_PACKED},
        {J_PF_BAYER_GR10, J_PF_BAYER_GR10P, J_PF_BAYER_GR10_PACKED},
        {J_PF_BAYER_RG12, J_PF_BAYER_RG12P, J_PF_BAYER_RG12_PACKED},
        {J_PF_BAYER_GB10, J_PF_BAYER_GB10P, J_PF_BAYER_GB10_PACKED},
        {J_PF_BAYER_BG12, J_PF_BAYER_BG12P, J_PF_BAYER_BG12_PACKED}};
    std::mt19937 random(77);
    for (const std::vector<uint32_t> &family : twins) {
        for (const auto &[width, height] :
             std::vector<std::pair<uint32_t, uint32_t>>{{1, 1}, {3, 3}, {7, 5}, {33, 9}}) {
            const PixelFormatInfo &unpacked = *FindPixelFormat(family[0]);
            std::vector<uint16_t> samples(size_t{width} * height);
            for (uint16_t &sample : samples)
                sample = static_cast<uint16_t>(random() % (1u << unpacked.significantBits));
            const std::vector<uint32_t> expected =
                ConvertBytes(family[0], width, height, Words(samples));
            for (size_t twin = 1; twin < family.size(); ++twin) {
                const PixelFormatInfo &packed = *FindPixelFormat(family[twin]);
                uint32_t bytes = 0;
                ASSERT_TRUE(ImageBytes(packed, width, height, &bytes));
                std::vector<uint8_t> frame(bytes);
                PackSamples(packed, samples.data(), 0, static_cast<uint32_t>(samples.size()),
                            frame.data());
                EXPECT_EQ(ConvertBytes(packed.format, width, height, frame), expected)
                    << packed.name << " " << width << "x" << height;
            }
        }
    }
}

TEST(SdkFormats, FramesShorterThanTheirFormatNeedsAreRefused)
{
    // Bytes a frame needs, one short of each refused: packed groups end where their bits do.
    const std::vector<std::tuple<uint32_t, uint32_t, uint32_t, uint32_t>> cases = {
        {J_PF_MONO10P, 3, 1, 4},       {J_PF_MONO12P, 3, 3, 14}, {J_PF_MONO12_PACKED, 3, 1, 5},
        {J_PF_BAYER_RG10P, 4, 4, 20},  {J_PF_RGBA8, 2, 2, 16},   {J_PF_BGR12, 2, 1, 12},
        {J_PF_YUV422_8_UYVY, 4, 2, 16}};
    std::vector<uint16_t> words(64);
    for (const auto &[format, width, height, bytes] : cases) {
        SCOPED_TRACE(FindPixelFormat(format)->name);
        J_IMAGE_RECORD raw{format, width, height, bytes, reinterpret_cast<uint8_t *>(words.data()),
                           1,      2};
        J_IMAGE_RECORD converted{};
        ASSERT_EQ(J_Image_Malloc(&raw, &converted), J_ST_SUCCESS);
        EXPECT_EQ(J_Image_FromRawToImage(&raw, &converted, 4096, 4096, 4096), J_ST_SUCCESS);
        raw.imageSize = bytes - 1;
        EXPECT_EQ(J_Image_FromRawToImage(&raw, &converted, 4096, 4096, 4096),
                  J_ST_INVALID_PARAMETER);
        J_IMAGE_RECORD refused{};
        EXPECT_EQ(J_Image_Malloc(&raw, &refused), J_ST_INVALID_PARAMETER);
        EXPECT_EQ(J_Image_Free(&converted), J_ST_SUCCESS);
    }
    // A format the library does not know is refused with a line that names its value.
    J_IMAGE_RECORD planar{0x02180021u, 2, 2, 12, reinterpret_cast<uint8_t *>(words.data()), 1, 2};
    J_IMAGE_RECORD none{};
    testing::internal::CaptureStderr();
    EXPECT_EQ(J_Image_Malloc(&planar, &none), J_ST_CONVERSION_FAILED);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Jai_Factory: pixel format 0x02180021 is not one this library converts\n");
    // YUV 4:2:2 shares U and V between two pixels: an odd width is refused.
    J_IMAGE_RECORD odd{J_PF_YUV422_8, 3, 1, 6, reinterpret_cast<uint8_t *>(words.data()), 1, 2};
    J_IMAGE_RECORD converted{};
    EXPECT_EQ(J_Image_Malloc(&odd, &converted), J_ST_CONVERSION_FAILED);
}

// libyuv's check: the fast paths (vector loops, group unpacking, two threads, strips)
// against the plain loops (a sample and a pixel at a time, one row a strip) on random frames
// of every format, at sizes around the vector widths, one pixel wide or high, and large;
// each also split across two threads as large frames are, odd heights included.
TEST(SdkFormats, FastPathsGiveTheBytesOfThePlainOnes)
{
    std::mt19937 random(5);
    for (uint32_t format : {J_PF_MONO10P, J_PF_BAYER_GB12P, J_PF_BAYER_BG10_PACKED}) {
        const PixelFormatInfo &info = *FindPixelFormat(format);
        const std::vector<uint8_t> frame = RandomFrame(info, 61, 7, &random);
        for (uint32_t trial = 0; trial < 50; ++trial) {
            const uint64_t first = random() % 300;
            const uint32_t count = random() % 100;
            std::vector<uint16_t> fast(count), plain(count);
            UnpackSamples(info, frame.data(), first, count, fast.data());
            for (uint32_t i = 0; i < count; ++i)
                plain[i] = UnpackSample(info, frame.data(), first + i);
            ASSERT_EQ(fast, plain) << info.name << " from " << first << ", " << count;
        }
    }
    const Gains unit{4096, 4096, 4096}, uneven{3000, 5000, 9000};
    const std::vector<std::tuple<uint32_t, uint32_t, Gains>> cases = {
        {1, 1, unit},   {1, 9, unit},     {9, 1, unit},     {2, 2, unit},
        {3, 5, uneven}, {35, 3, unit},    {36, 4, unit},    {67, 5, unit},
        {130, 7, unit}, {131, 6, uneven}, {1024, 512, unit}};
    size_t count = 0;
    const PixelFormatInfo *formats = AllPixelFormats(&count);
    for (size_t index = 0; index < count; ++index) {
        const PixelFormatInfo &info = formats[index];
        for (const auto &[width, height, gains] : cases) {
            const std::vector<uint8_t> frame = RandomFrame(info, width, height, &random);
            std::vector<uint16_t> words((frame.size() + 1) / 2);
            std::memcpy(words.data(), frame.data(), frame.size());
            const J_IMAGE_RECORD raw{info.format,
                                     width,
                                     height,
                                     static_cast<uint32_t>(frame.size()),
                                     reinterpret_cast<uint8_t *>(words.data()),
                                     1,
                                     2};
            Conversion described{};
            if (DescribeConversion(raw, &described) != J_ST_SUCCESS)
                continue; // YUV 4:2:2 of odd width
            const uint32_t bytes = described.converted.imageSize;
            std::vector<uint8_t> fast(bytes), plain(bytes);
            ASSERT_EQ(ConvertPixels(raw, info, fast.data(), gains), J_ST_SUCCESS);
            ASSERT_EQ(ConvertPixelsInStrips(raw, info, plain.data(), gains, 1, RowLoops::Plain),
                      J_ST_SUCCESS);
            EXPECT_TRUE(fast == plain)
                << info.name << " " << width << "x" << height << " gain " << gains.red;
            if (height < 2)
                continue;
            std::vector<uint8_t> halves(bytes);
            ASSERT_EQ(ConvertPixelsOnTwoThreads(raw, info, halves.data(), gains), J_ST_SUCCESS);
            EXPECT_TRUE(halves == plain) << info.name << " " << width << "x" << height
                                         << " on two threads, gain " << gains.red;
        }
    }
}

// Conversion: records accepted and refused, bilinear demosaic of every layout, gains, depths.
#include "sdk_test_support.h"

#include <cstring>

namespace {

// A raw frame with storage of its own, aligned for 16-bit samples.
struct RawFrame {
    RawFrame(uint32_t format, uint32_t width, uint32_t height,
             const std::vector<uint32_t> &samples = {})
        : sixteenBit((format >> 16 & 0xFF) == 16), words(size_t{width} * height)
    {
        const uint32_t bytes = width * height * (sixteenBit ? 2u : 1u);
        record = {format, width, height, bytes, reinterpret_cast<uint8_t *>(words.data()), 5, 6};
        for (size_t i = 0; i < samples.size(); ++i) {
            if (sixteenBit)
                words[i] = static_cast<uint16_t>(samples[i]);
            else
                record.buffer[i] = static_cast<uint8_t>(samples[i]);
        }
    }
    bool sixteenBit;
    std::vector<uint16_t> words;
    J_IMAGE_RECORD record;
};

const std::vector<std::pair<uint32_t, const char *>> kBayerFormats = {
    {J_PF_BAYER_RG8, "RGGB"},  {J_PF_BAYER_GR8, "GRBG"},  {J_PF_BAYER_GB8, "GBRG"},
    {J_PF_BAYER_BG8, "BGGR"},  {J_PF_BAYER_RG16, "RGGB"}, {J_PF_BAYER_GR16, "GRBG"},
    {J_PF_BAYER_GB16, "GBRG"}, {J_PF_BAYER_BG16, "BGGR"}};

int ChannelAt(const char *mosaic, int64_t x, int64_t y)
{
    return static_cast<int>(std::strchr("RGB", mosaic[2 * (y % 2) + x % 2]) - "RGB");
}

// Bilinear demosaic by its definition: a pixel keeps its own sample; each other channel is
// the rounded mean of that channel's samples among the pixel's neighbours inside the image.
std::vector<uint32_t> ReferenceDemosaic(const std::vector<uint32_t> &raw, int64_t width,
                                        int64_t height, const char *mosaic)
{
    std::vector<uint32_t> out;
    for (int64_t i = 0; i < width * height; ++i) {
        const int64_t x = i % width, y = i / width;
        uint32_t sums[3] = {}, counts[3] = {};
        for (int64_t n = 0; n < 9; ++n) {
            const int64_t nx = x + n % 3 - 1, ny = y + n / 3 - 1;
            if (nx >= 0 && ny >= 0 && nx < width && ny < height) {
                sums[ChannelAt(mosaic, nx, ny)] += raw[ny * width + nx];
                ++counts[ChannelAt(mosaic, nx, ny)];
            }
        }
        for (int c = 0; c < 3; ++c) {
            const uint32_t mean = counts[c] == 0 ? 0 : (sums[c] + counts[c] / 2) / counts[c];
            out.push_back(ChannelAt(mosaic, x, y) == c ? raw[i] : mean);
        }
    }
    return out;
}

} // namespace

TEST(SdkConvert, MallocDescribesTheConvertedImageOfEveryRawFormat)
{
    std::vector<std::pair<uint32_t, uint32_t>> conversions = {{J_PF_MONO8, J_PF_GRAY8},
                                                              {J_PF_MONO10, J_PF_GRAY16},
                                                              {J_PF_MONO12, J_PF_GRAY16},
                                                              {J_PF_MONO16, J_PF_GRAY16}};
    for (const auto &[format, mosaic] : kBayerFormats)
        conversions.emplace_back(format, (format >> 16 & 0xFF) == 16 ? J_PF_RGB48 : J_PF_RGB24);
    for (const auto &[rawFormat, convertedFormat] : conversions) {
        RawFrame raw(rawFormat, 5, 3);
        J_IMAGE_RECORD converted{};
        ASSERT_EQ(J_Image_Malloc(&raw.record, &converted), J_ST_SUCCESS);
        const uint32_t pixelBytes = (convertedFormat >> 16 & 0xFF) / 8; // PFNC: bits a pixel
        EXPECT_EQ(
            std::vector<uint64_t>({converted.pixelFormat, converted.width, converted.height,
                                   converted.imageSize, converted.frameId, converted.timestampUs}),
            std::vector<uint64_t>({convertedFormat, 5, 3, 15 * pixelBytes, 5, 6}));
        EXPECT_EQ(J_Image_Free(&converted), J_ST_SUCCESS);
        EXPECT_EQ(converted.buffer, nullptr);
    }
}

TEST(SdkConvert, BadRecordsAndBuffersAreRefused)
{
    RawFrame good(J_PF_BAYER_RG16, 4, 4), roomy(J_PF_BAYER_RG16, 4, 5);
    J_IMAGE_RECORD converted{};
    ASSERT_EQ(J_Image_Malloc(&good.record, &converted), J_ST_SUCCESS);
    std::vector<J_IMAGE_RECORD> badRaw(9, good.record);
    badRaw[0].buffer = nullptr;
    badRaw[1].width = 0;
    badRaw[2].height = 0;
    badRaw[3].imageSize = 31;
    badRaw[4].pixelFormat = 0x01234567;
    badRaw[5].pixelFormat = 0x02180021u;        // RGB8_Planar: not converted
    badRaw[6].buffer = roomy.record.buffer + 1; // 16-bit samples off their alignment
    badRaw[7].width = badRaw[7].height = 65536; // raw size wraps 32 bits
    badRaw[8] = {J_PF_BAYER_RG8, 1u << 30, 2, 1u << 31, good.record.buffer, 1, 1}; // RGB size wraps
    for (const J_IMAGE_RECORD &raw : badRaw) {
        J_IMAGE_RECORD other{};
        EXPECT_NE(J_Image_Malloc(&raw, &other), J_ST_SUCCESS);
        EXPECT_NE(J_Image_FromRawToImage(&raw, &converted, 4096, 4096, 4096), J_ST_SUCCESS);
    }
    // Converted records that do not match their raw frame, or whose buffer is not from Malloc.
    std::vector<uint8_t> ownMemory(converted.imageSize);
    std::vector<J_IMAGE_RECORD> badConverted(5, converted);
    badConverted[0].pixelFormat = J_PF_RGB24;
    badConverted[1].width = 3;
    badConverted[2].imageSize -= 1;
    badConverted[3].buffer = ownMemory.data();
    badConverted[4].buffer = nullptr;
    for (J_IMAGE_RECORD &record : badConverted)
        EXPECT_NE(J_Image_FromRawToImage(&good.record, &record, 4096, 4096, 4096), J_ST_SUCCESS);
    EXPECT_NE(J_Image_Malloc(nullptr, &converted), J_ST_SUCCESS);
    EXPECT_NE(J_Image_Malloc(&good.record, nullptr), J_ST_SUCCESS);
    EXPECT_NE(J_Image_FromRawToImage(nullptr, &converted, 4096, 4096, 4096), J_ST_SUCCESS);
    EXPECT_NE(J_Image_Free(nullptr), J_ST_SUCCESS);
    EXPECT_NE(J_Image_Free(&badConverted[3]), J_ST_SUCCESS);
    J_IMAGE_RECORD stale = converted;
    EXPECT_EQ(J_Image_Free(&converted), J_ST_SUCCESS);
    EXPECT_NE(J_Image_Free(&stale), J_ST_SUCCESS);
    EXPECT_NE(J_Image_FromRawToImage(&good.record, &stale, 4096, 4096, 4096), J_ST_SUCCESS);
}

// The buffer freed last is handed out again, and must then fit the image that takes it.
TEST(SdkConvert, AFreedBufferIsHandedOutAgainOnlyAtItsOwnSize)
{
    for (const auto &[first, second] :
         std::vector<std::pair<uint32_t, uint32_t>>{{4, 64}, {64, 4}, {64, 64}}) {
        RawFrame before(J_PF_BAYER_RG16, first, first), after(J_PF_BAYER_RG16, second, second);
        J_IMAGE_RECORD freed{}, converted{};
        ASSERT_EQ(J_Image_Malloc(&before.record, &freed), J_ST_SUCCESS);
        ASSERT_EQ(J_Image_Free(&freed), J_ST_SUCCESS);
        ASSERT_EQ(J_Image_Malloc(&after.record, &converted), J_ST_SUCCESS);
        // Writes every byte: a buffer too small is an overflow that the sanitizer builds report.
        EXPECT_EQ(J_Image_FromRawToImage(&after.record, &converted, 4096, 4096, 4096),
                  J_ST_SUCCESS);
        EXPECT_EQ(J_Image_Free(&converted), J_ST_SUCCESS);
    }
}

TEST(SdkConvert, MatchesTheBilinearDefinitionAtBordersAndOddSizes)
{
    std::mt19937 random(1234);
    for (const auto &[format, mosaic] : kBayerFormats) {
        for (const auto &[width, height] : std::vector<std::pair<uint32_t, uint32_t>>{
                 {1, 1}, {1, 5}, {5, 1}, {2, 3}, {4, 4}, {9, 7}, {16, 11}}) {
            std::vector<uint32_t> samples(size_t{width} * height);
            for (uint32_t &sample : samples)
                sample = random() % ((format >> 16 & 0xFF) == 16 ? 65536 : 256);
            EXPECT_EQ(ConvertedSamples(RawFrame(format, width, height, samples).record),
                      ReferenceDemosaic(samples, width, height, mosaic))
                << std::hex << format << std::dec << " " << width << "x" << height;
        }
    }
}

TEST(SdkConvert, GainsAreRoundedAndClampedAndGreyTakesTheGreenOne)
{
    // 101 * 0.5 = 50.5 rounds to 51; 101 * 2 = 202; 101 * 3 clamps at 255.
    const std::vector<uint32_t> rgb = ConvertedSamples(
        RawFrame(J_PF_BAYER_BG8, 2, 2, {101, 101, 101, 101}).record, 2048, 8192, 3 * 4096);
    EXPECT_EQ(rgb, (std::vector<uint32_t>{51, 202, 255, 51, 202, 255, 51, 202, 255, 51, 202, 255}));
    const std::vector<uint32_t> rgb16 =
        ConvertedSamples(RawFrame(J_PF_BAYER_RG16, 2, 2, std::vector<uint32_t>(4, 40000)).record, 0,
                         2048, UINT32_MAX);
    for (size_t i = 0; i < rgb16.size(); ++i)
        EXPECT_EQ(rgb16[i], (std::vector<uint32_t>{0, 20000, 65535}[i % 3])) << i;
    const std::vector<uint32_t> mono8 = {0, 1, 127, 255}, mono16 = {0, 1, 255, 256, 32768, 65535};
    EXPECT_EQ(ConvertedSamples(RawFrame(J_PF_MONO8, 4, 1, mono8).record), mono8);
    EXPECT_EQ(ConvertedSamples(RawFrame(J_PF_MONO8, 4, 1, mono8).record, 0, 8192, 0),
              (std::vector<uint32_t>{0, 2, 254, 255}));
    EXPECT_EQ(ConvertedSamples(RawFrame(J_PF_MONO16, 3, 2, mono16).record), mono16);
    EXPECT_EQ(
        ConvertedSamples(RawFrame(J_PF_MONO16, 3, 2, mono16).record, UINT32_MAX, 2048, UINT32_MAX),
        (std::vector<uint32_t>{0, 1, 128, 128, 16384, 32768}));
}

TEST(SdkConvert, Mono10And12AreWidenedToTheFull16Bits)
{
    // Top bits repeated into the low ones: the largest value becomes 65535, larger ones clamp.
    EXPECT_EQ(ConvertedSamples(RawFrame(J_PF_MONO10, 5, 1, {0, 1, 512, 1023, 2000}).record),
              (std::vector<uint32_t>{0, 64, 32800, 65535, 65535}));
    EXPECT_EQ(ConvertedSamples(RawFrame(J_PF_MONO12, 5, 1, {0, 1, 2048, 4095, 5000}).record),
              (std::vector<uint32_t>{0, 16, 32776, 65535, 65535}));
}

// The camera's own pixel formats, as Aravis names them, through the library's conversion.
#include <Jai_Factory.h>

#include <arv.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

const uint32_t kUnityGain = 4096;

struct Converted {
    J_STATUS_TYPE status;
    J_IMAGE_RECORD image;
    std::vector<uint16_t> samples; // widened to 16 bits whatever the depth
};

// A raw frame of format made of samples (8- or 16-bit), converted as the server does.
template <typename Sample>
Converted Convert(ArvPixelFormat format, uint32_t width, uint32_t height,
                  std::vector<Sample> samples)
{
    J_IMAGE_RECORD raw{};
    raw.pixelFormat = format;
    raw.width = width;
    raw.height = height;
    raw.imageSize = static_cast<uint32_t>(samples.size() * sizeof(Sample));
    raw.buffer = reinterpret_cast<uint8_t *>(samples.data());
    raw.frameId = 7;
    Converted result{J_Image_Malloc(&raw, &result.image), {}, {}};
    if (result.status != J_ST_SUCCESS)
        return result;
    result.status = J_Image_FromRawToImage(&raw, &result.image, kUnityGain, kUnityGain, kUnityGain);
    if (result.status == J_ST_SUCCESS) {
        const size_t count = result.image.imageSize / sizeof(Sample);
        const Sample *out = reinterpret_cast<const Sample *>(result.image.buffer);
        result.samples.assign(out, out + count);
    }
    EXPECT_EQ(J_Image_Free(&result.image), J_ST_SUCCESS);
    return result;
}

// A 4x4 mosaic of the layout named by the format (its first row starts with the two colours
// of the name: "RG" is R G / G B), with each colour at one level.
template <typename Sample>
std::vector<Sample> Mosaic(const std::string &firstRow, Sample red, Sample green, Sample blue)
{
    const std::string secondRow = firstRow == "RG"   ? "GB"
                                  : firstRow == "GR" ? "BG"
                                  : firstRow == "GB" ? "RG"
                                                     : "GR";
    std::vector<Sample> samples;
    for (uint32_t y = 0; y < 4; ++y) {
        for (uint32_t x = 0; x < 4; ++x) {
            const char colour = (y % 2 == 0 ? firstRow : secondRow)[x % 2];
            samples.push_back(colour == 'R' ? red : colour == 'G' ? green : blue);
        }
    }
    return samples;
}

struct BayerCase {
    ArvPixelFormat format;
    const char *firstRow;
};

// Even colour planes demosaic to one colour everywhere: a layout read the wrong way round
// swaps or mixes the channels.
TEST(GenicamFormats, EachBayerLayoutGivesItsColours)
{
    const BayerCase eightBit[] = {{ARV_PIXEL_FORMAT_BAYER_RG_8, "RG"},
                                  {ARV_PIXEL_FORMAT_BAYER_GR_8, "GR"},
                                  {ARV_PIXEL_FORMAT_BAYER_GB_8, "GB"},
                                  {ARV_PIXEL_FORMAT_BAYER_BG_8, "BG"}};
    for (const BayerCase &bayer : eightBit) {
        SCOPED_TRACE(bayer.firstRow);
        const Converted converted =
            Convert<uint8_t>(bayer.format, 4, 4, Mosaic<uint8_t>(bayer.firstRow, 200, 100, 50));
        ASSERT_EQ(converted.status, J_ST_SUCCESS);
        EXPECT_EQ(converted.image.pixelFormat, J_PF_RGB24);
        for (size_t pixel = 0; pixel < 16; ++pixel) {
            EXPECT_EQ(converted.samples[3 * pixel], 200);
            EXPECT_EQ(converted.samples[3 * pixel + 1], 100);
            EXPECT_EQ(converted.samples[3 * pixel + 2], 50);
        }
    }
    const BayerCase sixteenBit[] = {{ARV_PIXEL_FORMAT_BAYER_RG_16, "RG"},
                                    {ARV_PIXEL_FORMAT_BAYER_GR_16, "GR"},
                                    {ARV_PIXEL_FORMAT_BAYER_GB_16, "GB"},
                                    {ARV_PIXEL_FORMAT_BAYER_BG_16, "BG"}};
    for (const BayerCase &bayer : sixteenBit) {
        SCOPED_TRACE(bayer.firstRow);
        const Converted converted = Convert<uint16_t>(
            bayer.format, 4, 4, Mosaic<uint16_t>(bayer.firstRow, 60000, 30000, 300));
        ASSERT_EQ(converted.status, J_ST_SUCCESS);
        EXPECT_EQ(converted.image.pixelFormat, J_PF_RGB48);
        for (size_t pixel = 0; pixel < 16; ++pixel) {
            EXPECT_EQ(converted.samples[3 * pixel], 60000);
            EXPECT_EQ(converted.samples[3 * pixel + 1], 30000);
            EXPECT_EQ(converted.samples[3 * pixel + 2], 300);
        }
    }
}

// Unpacked Mono10 and Mono12 come in 16-bit words holding the value in their low bits; the
// grey image stretches them so that the brightest value is white.
TEST(GenicamFormats, MonoFormatsKeepTheirDepthAndStretchToWhite)
{
    const Converted mono8 = Convert<uint8_t>(ARV_PIXEL_FORMAT_MONO_8, 2, 1, {0, 77});
    ASSERT_EQ(mono8.status, J_ST_SUCCESS);
    EXPECT_EQ(mono8.image.pixelFormat, J_PF_GRAY8);
    EXPECT_EQ(mono8.samples, (std::vector<uint16_t>{0, 77}));

    const Converted mono10 = Convert<uint16_t>(ARV_PIXEL_FORMAT_MONO_10, 3, 1, {0, 512, 1023});
    ASSERT_EQ(mono10.status, J_ST_SUCCESS);
    EXPECT_EQ(mono10.image.pixelFormat, J_PF_GRAY16);
    EXPECT_EQ(mono10.samples, (std::vector<uint16_t>{0, 32800, 65535}));

    const Converted mono12 = Convert<uint16_t>(ARV_PIXEL_FORMAT_MONO_12, 2, 1, {2048, 4095});
    ASSERT_EQ(mono12.status, J_ST_SUCCESS);
    EXPECT_EQ(mono12.samples, (std::vector<uint16_t>{32776, 65535}));

    const Converted mono16 = Convert<uint16_t>(ARV_PIXEL_FORMAT_MONO_16, 2, 1, {1, 65535});
    ASSERT_EQ(mono16.status, J_ST_SUCCESS);
    EXPECT_EQ(mono16.image.pixelFormat, J_PF_GRAY16);
    EXPECT_EQ(mono16.samples, (std::vector<uint16_t>{1, 65535}));
}

// Aravis's values of the packed, colour and YUV formats are the library's; formats it lacks
// (planar, 4:1:1, signed) fail the conversion, so the save of such a frame fails.
TEST(GenicamFormats, AravisFormatsConvertAndOthersFail)
{
    for (const ArvPixelFormat format :
         {ARV_PIXEL_FORMAT_MONO_12_PACKED, ARV_PIXEL_FORMAT_MONO_10_PACKED,
          ARV_PIXEL_FORMAT_BAYER_RG_12_PACKED, ARV_PIXEL_FORMAT_BAYER_GB_10P,
          ARV_PIXEL_FORMAT_RGB_8_PACKED, ARV_PIXEL_FORMAT_BGRA_8_PACKED,
          ARV_PIXEL_FORMAT_YUV_422_PACKED, ARV_PIXEL_FORMAT_YUV_422_YUYV_PACKED,
          ARV_PIXEL_FORMAT_BAYER_RG_10}) {
        SCOPED_TRACE(format);
        EXPECT_EQ(Convert<uint16_t>(format, 4, 4, std::vector<uint16_t>(48, 1)).status,
                  J_ST_SUCCESS);
    }
    for (const ArvPixelFormat format :
         {ARV_PIXEL_FORMAT_RGB_8_PLANAR, ARV_PIXEL_FORMAT_YUV_411_PACKED,
          ARV_PIXEL_FORMAT_MONO_8_SIGNED}) {
        SCOPED_TRACE(format);
        EXPECT_EQ(Convert<uint16_t>(format, 4, 4, std::vector<uint16_t>(48, 1)).status,
                  J_ST_CONVERSION_FAILED);
    }
}

} // namespace

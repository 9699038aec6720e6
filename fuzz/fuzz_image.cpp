// Fuzz target: conversion and TIFF writing through the public calls, with arbitrary records.
#include <Jai_Factory.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const uint32_t kFormats[] = {J_PF_MONO8,
                             J_PF_MONO10,
                             J_PF_MONO12,
                             J_PF_MONO14,
                             J_PF_MONO16,
                             J_PF_MONO10P,
                             J_PF_MONO12P,
                             J_PF_MONO10_PACKED,
                             J_PF_MONO12_PACKED,
                             J_PF_BAYER_GR8,
                             J_PF_BAYER_RG8,
                             J_PF_BAYER_GB8,
                             J_PF_BAYER_BG8,
                             J_PF_BAYER_GR10,
                             J_PF_BAYER_RG12,
                             J_PF_BAYER_GR16,
                             J_PF_BAYER_RG16,
                             J_PF_BAYER_GB16,
                             J_PF_BAYER_BG16,
                             J_PF_BAYER_GB10P,
                             J_PF_BAYER_BG12P,
                             J_PF_BAYER_RG10_PACKED,
                             J_PF_BAYER_GR12_PACKED,
                             J_PF_RGB8,
                             J_PF_BGR8,
                             J_PF_RGBA8,
                             J_PF_BGRA8,
                             J_PF_RGB10,
                             J_PF_BGR12,
                             J_PF_RGB16,
                             J_PF_BGR16,
                             J_PF_YUV422_8,
                             J_PF_YUV422_8_UYVY,
                             J_PF_YCBCR422_8,
                             J_PF_RGB24,
                             J_PF_RGB48};

std::string g_folder;
std::string g_fileName;

void RemoveOutput()
{
    std::remove(g_fileName.c_str());
    rmdir(g_folder.c_str());
}

uint32_t Read32(const uint8_t *data)
{
    uint32_t value = 0;
    std::memcpy(&value, data, sizeof value);
    return value;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    char folder[] = "/tmp/fuzz-image-XXXXXX";
    if (mkdtemp(folder) == nullptr)
        std::abort();
    g_folder = folder;
    g_fileName = g_folder + "/out.tiff";
    std::atexit(RemoveOutput);
    return 0;
}

// Input: format selector (1 byte; past the list, the next 4 bytes are a raw format value),
// width and height (2 bytes each, small so that runs stay fast), buffer shortfall (2 bytes),
// three gains (4 bytes each), then the pixels, repeated to fill the buffer.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const size_t kHeader = 1 + 4 + 2 + 2 + 2 + 12;
    if (size < kHeader)
        return 0;
    const uint8_t selector = data[0];
    const size_t formatCount = sizeof kFormats / sizeof kFormats[0];
    const uint32_t format = selector < formatCount ? kFormats[selector] : Read32(data + 1);
    const uint32_t width = (data[5] | data[6] << 8) % 256;
    const uint32_t height = (data[7] | data[8] << 8) % 256;
    const uint32_t shortfall = data[9] | data[10] << 8;
    const uint32_t redGain = Read32(data + 11);
    const uint32_t greenGain = Read32(data + 15);
    const uint32_t blueGain = Read32(data + 19);
    const uint8_t *pixels = data + kHeader;
    const size_t pixelBytes = size - kHeader;

    // Up to six bytes a pixel (RGB16): a full buffer less the shortfall.
    const size_t full = size_t{width} * height * 6;
    const size_t bufferSize = full > shortfall ? full - shortfall : 0;
    std::vector<uint8_t> buffer(bufferSize);
    for (size_t i = 0; i < bufferSize && pixelBytes > 0; ++i)
        buffer[i] = pixels[i % pixelBytes];

    J_IMAGE_RECORD raw{};
    raw.pixelFormat = format;
    raw.width = width;
    raw.height = height;
    raw.imageSize = static_cast<uint32_t>(bufferSize);
    raw.buffer = buffer.empty() ? nullptr : buffer.data();
    raw.frameId = 7;
    raw.timestampUs = 11;

    J_IMAGE_RECORD converted{};
    if (J_Image_Malloc(&raw, &converted) != J_ST_SUCCESS)
        return 0;
    if (J_Image_FromRawToImage(&raw, &converted, redGain, greenGain, blueGain) == J_ST_SUCCESS)
        J_Image_SaveFile(&converted, g_fileName.c_str());
    if (J_Image_Free(&converted) != J_ST_SUCCESS || converted.buffer != nullptr)
        std::abort();
    return 0;
}

// Helpers shared by the library's tests: a clean configuration, an open camera, a scratch folder.
#ifndef SDK_TEST_SUPPORT_H
#define SDK_TEST_SUPPORT_H

#include "environment.h"
#include <Jai_Factory.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <random>
#include <string>
#include <vector>

// Sets the library's variables for one scope, every other one unset; restores them after.
class ScopedConfig {
  public:
    using Values = std::map<std::string, std::string>;
    ScopedConfig(std::initializer_list<Values::value_type> values = {})
        : ScopedConfig(Values(values))
    {
    }
    explicit ScopedConfig(const Values &values)
    {
        for (const char *name : kNames) {
            if (const char *old = std::getenv(name))
                saved_[name] = old;
            RemoveEnvironmentValue(name);
            if (values.count(name))
                SetEnvironmentValue(name, values.at(name).c_str());
        }
    }
    ScopedConfig(const ScopedConfig &) = delete;
    ~ScopedConfig()
    {
        for (const char *name : kNames)
            RemoveEnvironmentValue(name);
        for (const auto &[name, value] : saved_)
            SetEnvironmentValue(name.c_str(), value.c_str());
    }

  private:
    static constexpr const char *kNames[] = {
        "SIMCAM_CAMERAS",      "SIMCAM_WIDTH",      "SIMCAM_HEIGHT",
        "SIMCAM_PIXEL_FORMAT", "SIMCAM_FPS",        "SIMCAM_FAIL",
        "SIMCAM_LOST_AFTER",   "SIMCAM_LOST_FOR",   "CAMERA_SDK_BACKEND",
        "CAMERA_SDK_FEATURES", "CAMERA_SDK_CAMERA", "CAMERA_SDK_FRAME_TIMEOUT"};
    Values saved_;
};

// The factory and camera 0, opened under the current configuration; the factory closes at the end.
struct OpenedCamera {
    FACTORY_HANDLE factory = nullptr;
    CAM_HANDLE camera = nullptr;
    OpenedCamera()
    {
        uint8_t changed = 0;
        EXPECT_EQ(J_Factory_Open("", &factory), J_ST_SUCCESS);
        EXPECT_EQ(J_Factory_UpdateCameraList(factory, &changed), J_ST_SUCCESS);
        EXPECT_EQ(J_Camera_Open(factory, "SIMCAM-0", &camera), J_ST_SUCCESS);
    }
    ~OpenedCamera() { J_Factory_Close(factory); }
};

// An empty folder of its own, removed with its contents at the end.
struct ScratchFolder {
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("sdk_test_" + std::to_string(std::random_device{}()));
    ScratchFolder() { std::filesystem::create_directories(path); }
    ~ScratchFolder() { std::filesystem::remove_all(path); }
    std::string operator/(const std::string &name) const { return (path / name).string(); }
    std::vector<std::string> Entries() const
    {
        std::vector<std::string> names;
        for (const auto &entry : std::filesystem::directory_iterator(path))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

// Converts raw and returns the converted samples (R G B per pixel, or grey).
inline std::vector<uint32_t> ConvertedSamples(const J_IMAGE_RECORD &raw, uint32_t red = 4096,
                                              uint32_t green = 4096, uint32_t blue = 4096)
{
    J_IMAGE_RECORD converted{};
    EXPECT_EQ(J_Image_Malloc(&raw, &converted), J_ST_SUCCESS);
    EXPECT_EQ(J_Image_FromRawToImage(&raw, &converted, red, green, blue), J_ST_SUCCESS);
    const bool sixteenBit =
        converted.pixelFormat == J_PF_GRAY16 || converted.pixelFormat == J_PF_RGB48;
    std::vector<uint32_t> samples(converted.imageSize / (sixteenBit ? 2 : 1));
    for (size_t i = 0; i < samples.size(); ++i) {
        uint16_t word = converted.buffer[i];
        if (sixteenBit)
            std::memcpy(&word, converted.buffer + 2 * i, 2);
        samples[i] = word;
    }
    EXPECT_EQ(J_Image_Free(&converted), J_ST_SUCCESS);
    return samples;
}

#endif

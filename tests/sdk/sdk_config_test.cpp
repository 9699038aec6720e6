// Configuration: the SIMCAM_ variables, the one grammar of every variable, the error line of a
// bad one, and injected failures.
#include "sdk_test_support.h"

#include "camera_settings.h"
#include "sim_config.h"

#include <functional>
#include <sstream>
#include <tuple>

namespace {

ParsedSimConfig Parse(const ScopedConfig::Values &values)
{
    return ParseSimConfig([&values](const char *name) {
        return values.count(name) ? values.at(name).c_str() : nullptr;
    });
}

// What the library reads from variable alone set to value: that variable's setting as text, or
// the refusal line.
std::string ReadAlone(const std::string &variable, const char *value)
{
    const VariableLookup lookup = [&](const char *name) {
        return variable == name ? value : nullptr;
    };
    const ParsedSimConfig sim = ParseSimConfig(lookup);
    CameraSettings settings;
    const std::string problem = ParseCameraSettings(lookup, &settings);
    if (!sim.ok)
        return sim.error;
    if (!problem.empty())
        return problem;
    std::ostringstream text;
    if (variable == "SIMCAM_CAMERAS")
        text << sim.config.cameraCount;
    if (variable == "SIMCAM_FPS")
        text << sim.config.framesPerSecond;
    if (variable == "SIMCAM_FAIL")
        text << sim.config.failures;
    if (variable == "CAMERA_SDK_SAVE_WAIT_MS")
        text << settings.saveWaitMs;
    if (variable == "CAMERA_SDK_FRAME_TIMEOUT")
        text << settings.frameTimeoutSeconds;
    for (const FeatureSetting &feature : settings.features)
        text << feature.name << "=" << feature.value << ";";
    return text.str();
}

// Makes the program's calls in its order, on a synthetic frame; returns the first that fails.
std::string FirstFailingCall(const std::string &fileName)
{
    void *factory = nullptr, *camera = nullptr, *stream = nullptr;
    uint8_t changed = 0, pixels[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    uint32_t count = 0, size = 512;
    char id[512];
    int64_t value = 0;
    const J_IMAGE_RECORD raw{J_PF_BAYER_RG8, 4, 2, sizeof pixels, pixels, 1, 2};
    J_IMAGE_RECORD image{};
    const J_FRAME_CALLBACK ignore = [](void *, J_IMAGE_RECORD *) {};
    const std::vector<std::pair<const char *, std::function<J_STATUS_TYPE()>>> calls = {
        {"J_Factory_Open", [&] { return J_Factory_Open("", &factory); }},
        {"J_Factory_UpdateCameraList",
         [&] { return J_Factory_UpdateCameraList(factory, &changed); }},
        {"J_Factory_GetNumOfCameras", [&] { return J_Factory_GetNumOfCameras(factory, &count); }},
        {"J_Factory_GetCameraIDByIndex",
         [&] { return J_Factory_GetCameraIDByIndex(factory, 0, id, &size); }},
        {"J_Camera_Open", [&] { return J_Camera_Open(factory, id, &camera); }},
        {"Width", [&] { return J_Camera_GetValueInt64(camera, "Width", &value); }},
        {"Height", [&] { return J_Camera_GetValueInt64(camera, "Height", &value); }},
        {"J_Image_OpenStream",
         [&] { return J_Image_OpenStream(camera, 0, nullptr, ignore, &stream, 1u << 30, 0); }},
        {"AcquisitionStart", [&] { return J_Camera_ExecuteCommand(camera, "AcquisitionStart"); }},
        {"AcquisitionStop", [&] { return J_Camera_ExecuteCommand(camera, "AcquisitionStop"); }},
        {"J_Image_Malloc", [&] { return J_Image_Malloc(&raw, &image); }},
        {"J_Image_FromRawToImage",
         [&] { return J_Image_FromRawToImage(&raw, &image, 4096, 4096, 4096); }},
        {"J_Image_SaveFile", [&] { return J_Image_SaveFile(&image, fileName.c_str()); }},
        {"J_Image_Free", [&] { return J_Image_Free(&image); }}};
    std::string failed;
    for (auto call = calls.begin(); call != calls.end() && failed.empty(); ++call) {
        const J_STATUS_TYPE status = call->second();
        if (status != J_ST_SUCCESS)
            failed =
                call->first + std::string(status == J_ST_INJECTED_FAILURE ? "" : " (not injected)");
    }
    J_Image_Free(&image);
    J_Factory_Close(factory);
    return failed;
}

} // namespace

TEST(SdkConfig, DefaultsWhenUnsetOrEmptyAndEveryVariableToItsLimits)
{
    const auto fields = [](const SimConfig &c) {
        return std::make_tuple(c.cameraCount, c.width, c.height, c.pixelFormat, c.framesPerSecond,
                               c.failures);
    };
    const ParsedSimConfig defaults = Parse({{"SIMCAM_FPS", ""}, {"SIMCAM_FAIL", ""}});
    EXPECT_EQ(fields(defaults.config),
              std::make_tuple(1u, int64_t{1280}, int64_t{1024}, J_PF_BAYER_RG8, 30.0, 0u));
    const ParsedSimConfig limits = Parse({{"SIMCAM_CAMERAS", "64"},
                                          {"SIMCAM_WIDTH", "-9223372036854775808"},
                                          {"SIMCAM_HEIGHT", "9223372036854775807"},
                                          {"SIMCAM_PIXEL_FORMAT", "Mono8"},
                                          {"SIMCAM_FPS", "0.001"},
                                          {"SIMCAM_FAIL", "Width,J_Image_Free,Width"}});
    EXPECT_EQ(fields(limits.config), std::make_tuple(64u, INT64_MIN, INT64_MAX, J_PF_MONO8, 0.001,
                                                     FailureBit(FailurePoint::Width) |
                                                         FailureBit(FailurePoint::ImageFree)));
    EXPECT_EQ(Parse({{"SIMCAM_FPS", "100000.0"}}).config.framesPerSecond, 100000);
    EXPECT_TRUE(defaults.ok && limits.ok);
}

TEST(SdkConfig, NumbersIntegersAndListsReadTheSameInEveryVariable)
{
    const std::string widthAndHeight =
        std::to_string(FailureBit(FailurePoint::Width) | FailureBit(FailurePoint::Height));
    for (const auto &[variable, value, read] :
         std::vector<std::tuple<const char *, const char *, std::string>>{
             // Numbers: spaces around, fraction, exponent; blank keeps the default.
             {"SIMCAM_FPS", " 50\t", "50"},
             {"SIMCAM_FPS", "2.5e-3", "0.0025"},
             {"SIMCAM_FPS", "1E2", "100"},
             {"SIMCAM_FPS", " \t", "30"},
             {"CAMERA_SDK_FRAME_TIMEOUT", "\t0.5 ", "0.5"},
             {"CAMERA_SDK_FRAME_TIMEOUT", "1e2", "100"},
             {"SIMCAM_FPS", "+5", R"(SIMCAM_FPS: "+5" is not a number)"},
             {"SIMCAM_FPS", ".5", R"(SIMCAM_FPS: ".5" is not a number)"},
             {"SIMCAM_FPS", "1e+2", R"(SIMCAM_FPS: "1e+2" is not a number)"},
             {"SIMCAM_FPS", "inf", R"(SIMCAM_FPS: "inf" is not a number)"},
             {"SIMCAM_FPS", "1e6", R"(SIMCAM_FPS: "1e6" is out of range (0.001 to 100000))"},
             {"CAMERA_SDK_FRAME_TIMEOUT", "nan",
              R"(CAMERA_SDK_FRAME_TIMEOUT: "nan" is not a number)"},
             {"CAMERA_SDK_FRAME_TIMEOUT", "2 5",
              R"(CAMERA_SDK_FRAME_TIMEOUT: "2 5" is not a number)"},
             {"CAMERA_SDK_FRAME_TIMEOUT", " 1e999",
              R"(CAMERA_SDK_FRAME_TIMEOUT: " 1e999" is out of range (0.001 to 86400))"},
             // Integers: spaces around; blank keeps the default.
             {"SIMCAM_CAMERAS", "\t64 ", "64"},
             {"SIMCAM_CAMERAS", "", "1"},
             {"CAMERA_SDK_SAVE_WAIT_MS", " 100", "100"},
             {"CAMERA_SDK_SAVE_WAIT_MS", " ", "1000"},
             {"SIMCAM_CAMERAS", "1e1", R"(SIMCAM_CAMERAS: "1e1" is not an integer)"},
             {"SIMCAM_CAMERAS", " 65\t", R"(SIMCAM_CAMERAS: " 65\x09" is out of range (0 to 64))"},
             {"SIMCAM_CAMERAS", "-1", R"(SIMCAM_CAMERAS: "-1" is out of range (0 to 64))"},
             {"CAMERA_SDK_SAVE_WAIT_MS", "2.0",
              R"(CAMERA_SDK_SAVE_WAIT_MS: "2.0" is not an integer)"},
             {"CAMERA_SDK_SAVE_WAIT_MS", "+2",
              R"(CAMERA_SDK_SAVE_WAIT_MS: "+2" is not an integer)"},
             {"CAMERA_SDK_SAVE_WAIT_MS", "99999999999999999999",
              R"(CAMERA_SDK_SAVE_WAIT_MS: "99999999999999999999" is out of range (0 to 60000))"},
             // Lists: items trimmed, blank items skipped, a bad item quoted alone.
             {"SIMCAM_FAIL", " Width ,, Height ,", widthAndHeight},
             {"SIMCAM_FAIL", " , ", "0"},
             {"CAMERA_SDK_FEATURES", " Width = 64 ;; ;Gain=2.5;", "Width=64;Gain=2.5;"},
             {"SIMCAM_FAIL", "Width,,height ",
              R"(SIMCAM_FAIL: "height" is not an operation that can be made to fail)"},
             {"CAMERA_SDK_FEATURES", "Width=64; Height ;",
              R"(CAMERA_SDK_FEATURES: "Height" has no '=' (Name=Value;...))"}})
        EXPECT_EQ(ReadAlone(variable, value), read) << variable << "=" << value;
}

TEST(SdkConfig, MalformedValueIsNamedWithItsVariable)
{
    const std::string fpsRange = " is out of range (0.001 to 100000)";
    for (
        const auto &[variable, value, error] :
        std::vector<std::tuple<const char *, const char *, std::string>>{
            {"SIMCAM_CAMERAS", "65", R"(SIMCAM_CAMERAS: "65" is out of range (0 to 64))"},
            {"SIMCAM_WIDTH", "12x", R"(SIMCAM_WIDTH: "12x" is not an integer)"},
            {"SIMCAM_WIDTH", "+5", R"(SIMCAM_WIDTH: "+5" is not an integer)"},
            {"SIMCAM_HEIGHT", "9223372036854775808",
             R"(SIMCAM_HEIGHT: "9223372036854775808" is out of range )"
             "(-9223372036854775808 to 9223372036854775807)"},
            {"SIMCAM_PIXEL_FORMAT", "bayerrg8",
             R"(SIMCAM_PIXEL_FORMAT: "bayerrg8" is not a pixel format this library knows (PFNC names, such as Mono12p))"},
            {"SIMCAM_FPS", "0x10", R"(SIMCAM_FPS: "0x10" is not a number)"},
            {"SIMCAM_FPS", "5.", R"(SIMCAM_FPS: "5." is not a number)"},
            {"SIMCAM_FPS", "0", R"(SIMCAM_FPS: "0")" + fpsRange},
            {"SIMCAM_FPS", "100000.01", R"(SIMCAM_FPS: "100000.01")" + fpsRange},
            {"SIMCAM_FPS", "3\n0\"", R"(SIMCAM_FPS: "3\x0A0\x22" is not a number)"},
            {"SIMCAM_FAIL", "Width, height",
             R"(SIMCAM_FAIL: "height" is not an operation that can be made to fail)"}}) {
        const ParsedSimConfig parsed = Parse({{variable, value}});
        EXPECT_FALSE(parsed.ok);
        EXPECT_EQ(parsed.error, error);
    }
    // Through the library the factory fails with one line on standard error; so does an
    // unknown backend, and a bound on the wait for a frame out of its range.
    for (const auto &[variable, value, status, line] :
         std::vector<std::tuple<const char *, const char *, J_STATUS_TYPE, const char *>>{
             {"SIMCAM_FPS", "abc", J_ST_CONFIGURATION,
              "Jai_Factory: SIMCAM_FPS: \"abc\" is not a number\n"},
             {"CAMERA_SDK_BACKEND", "GenICam", J_ST_CONFIGURATION,
              "Jai_Factory: CAMERA_SDK_BACKEND: \"GenICam\" is not one of sim, genicam\n"},
             {"CAMERA_SDK_FRAME_TIMEOUT", "0", J_ST_CONFIGURATION,
              "Jai_Factory: CAMERA_SDK_FRAME_TIMEOUT: \"0\" is out of range (0.001 to 86400)\n"}}) {
        ScopedConfig config({{variable, value}});
        FACTORY_HANDLE factory = nullptr;
        testing::internal::CaptureStderr();
        EXPECT_EQ(J_Factory_Open("", &factory), status);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), line);
        EXPECT_EQ(factory, nullptr);
    }
}

TEST(SdkConfig, EachListedOperationFailsAndOnlyIt)
{
    ScratchFolder folder;
    EXPECT_EQ(FirstFailingCall(folder / "0001.tiff"), "");
    for (const char *operation :
         {"J_Factory_Open", "J_Factory_UpdateCameraList", "J_Factory_GetNumOfCameras",
          "J_Factory_GetCameraIDByIndex", "J_Camera_Open", "Width", "Height", "J_Image_OpenStream",
          "AcquisitionStart", "AcquisitionStop", "J_Image_Malloc", "J_Image_FromRawToImage",
          "J_Image_SaveFile", "J_Image_Free"}) {
        ScopedConfig config({{"SIMCAM_FAIL", operation}});
        EXPECT_EQ(FirstFailingCall(folder / "0001.tiff"), operation);
    }
}

TEST(SdkConfig, ImageCallsFailAsTheNewestOpenFactoryListsAndFreeStillFrees)
{
    uint8_t pixel = 7;
    const J_IMAGE_RECORD raw{J_PF_MONO8, 1, 1, 1, &pixel, 1, 1};
    J_IMAGE_RECORD image{};
    FACTORY_HANDLE failing = nullptr, plain = nullptr;
    {
        ScopedConfig config({{"SIMCAM_FAIL", "J_Image_Malloc,J_Image_Free"}});
        ASSERT_EQ(J_Factory_Open("", &failing), J_ST_SUCCESS);
    }
    EXPECT_EQ(J_Image_Malloc(&raw, &image), J_ST_INJECTED_FAILURE);
    ScopedConfig config;
    ASSERT_EQ(J_Factory_Open("", &plain), J_ST_SUCCESS);
    ASSERT_EQ(J_Image_Malloc(&raw, &image), J_ST_SUCCESS);
    J_Factory_Close(plain);
    J_IMAGE_RECORD copy = image;
    EXPECT_EQ(J_Image_Free(&image), J_ST_INJECTED_FAILURE);
    EXPECT_EQ(image.buffer, nullptr);
    J_Factory_Close(failing);
    EXPECT_EQ(J_Image_Free(&copy), J_ST_INVALID_PARAMETER); // freed by the failed call
    EXPECT_EQ(J_Image_Malloc(&raw, &image), J_ST_SUCCESS);
    EXPECT_EQ(J_Image_Free(&image), J_ST_SUCCESS);
}

// The settings of every backend: the CAMERA_SDK_FEATURES list, the simulated camera's
// writable features, the camera chosen by CAMERA_SDK_CAMERA, and CAMERA_SDK_SAVE_WAIT_MS.
#include "sdk_test_support.h"

#include "camera_settings.h"
#include "setting_grammar.h"
#include "sim_features.h"

#include <cfloat>
#include <tuple>
#include <utility>

namespace {

using Settings = std::vector<std::pair<std::string, std::string>>;

// The parsed list, or the error line.
std::pair<Settings, std::string> ParseFeatures(const char *list)
{
    CameraSettings settings;
    const std::string error = ParseCameraSettings(
        [list](const char *name) {
            return std::string(name) == "CAMERA_SDK_FEATURES" ? list : nullptr;
        },
        &settings);
    Settings pairs;
    for (const FeatureSetting &setting : settings.features)
        pairs.emplace_back(setting.name, setting.value);
    return {pairs, error};
}

// J_Camera_Open of camera 0 under the current configuration: its status and stderr.
std::pair<J_STATUS_TYPE, std::string> OpenCameraZero()
{
    FACTORY_HANDLE factory = nullptr;
    CAM_HANDLE camera = nullptr;
    uint8_t changed = 0;
    EXPECT_EQ(J_Factory_Open("", &factory), J_ST_SUCCESS);
    EXPECT_EQ(J_Factory_UpdateCameraList(factory, &changed), J_ST_SUCCESS);
    testing::internal::CaptureStderr();
    const J_STATUS_TYPE status = J_Camera_Open(factory, "SIMCAM-0", &camera);
    const std::string line = testing::internal::GetCapturedStderr();
    EXPECT_EQ(camera == nullptr, status != J_ST_SUCCESS);
    J_Factory_Close(factory);
    return {status, line};
}

} // namespace

TEST(SdkSettings, FeatureListIsTrimmedSkipsBlankItemsAndNamesAMalformedOne)
{
    const Settings widthAndGain = {{"Width", "64"}, {"Gain", "2.5"}};
    // Spaces and tabs around names and values, and blank items.
    EXPECT_EQ(ParseFeatures(" Width = 64 ;\tGain=2.5\t"),
              std::make_pair(widthAndGain, std::string()));
    EXPECT_EQ(ParseFeatures(";Width=64;; ;Gain=2.5;"), std::make_pair(widthAndGain, std::string()));
    EXPECT_EQ(ParseFeatures(""), std::make_pair(Settings{}, std::string()));
    EXPECT_EQ(ParseFeatures(nullptr), std::make_pair(Settings{}, std::string()));
    // The first '=' ends the name; a value may be empty or hold spaces inside.
    EXPECT_EQ(ParseFeatures("DeviceUserID=a=b c;Name="),
              std::make_pair(Settings{{"DeviceUserID", "a=b c"}, {"Name", ""}}, std::string()));
    // A missing '=' or an empty name fails the whole list, naming the item.
    for (const auto &[list, error] : std::vector<std::pair<const char *, std::string>>{
             {"Width=64; Height ;Gain=1",
              R"(CAMERA_SDK_FEATURES: "Height" has no '=' (Name=Value;...))"},
             {"Width=64; = 32", R"(CAMERA_SDK_FEATURES: "= 32" has no feature name)"}})
        EXPECT_EQ(ParseFeatures(list), std::make_pair(Settings{}, error)) << list;
}

TEST(SdkSettings, SaveWaitIsWholeMillisecondsUpToAMinute)
{
    const auto parse = [](const char *value) {
        CameraSettings settings;
        const std::string error = ParseCameraSettings(
            [value](const char *name) {
                return std::string(name) == "CAMERA_SDK_SAVE_WAIT_MS" ? value : nullptr;
            },
            &settings);
        return std::make_pair(settings.saveWaitMs, error);
    };
    EXPECT_EQ(parse(nullptr), std::make_pair(kDefaultSaveWaitMs, std::string()));
    EXPECT_EQ(parse(""), std::make_pair(kDefaultSaveWaitMs, std::string()));
    EXPECT_EQ(parse("0"), std::make_pair(0u, std::string()));
    EXPECT_EQ(parse("60000"), std::make_pair(60000u, std::string()));
    for (const char *bad : {"60001", "-1"})
        EXPECT_EQ(parse(bad).second, "CAMERA_SDK_SAVE_WAIT_MS: \"" + std::string(bad) +
                                         "\" is out of range (0 to 60000)");
    for (const char *bad : {"1.5", "abc"})
        EXPECT_EQ(parse(bad).second,
                  "CAMERA_SDK_SAVE_WAIT_MS: \"" + std::string(bad) + "\" is not an integer");
}

TEST(SdkSettings, FeatureNumbersAreDecimalAndWhole)
{
    const auto parseInteger = [](const char *text, int64_t *value) {
        return ParseInteger(text, INT64_MIN, INT64_MAX, value).empty();
    };
    const auto parseNumber = [](const char *text, double *value) {
        return ParseNumber(text, -DBL_MAX, DBL_MAX, value).empty();
    };
    int64_t integer = 0;
    double number = 0;
    EXPECT_TRUE(parseInteger("-9223372036854775808", &integer));
    EXPECT_EQ(integer, INT64_MIN);
    for (const char *text : {"", "-", "+5", "0x10", "1e3", "12 ", "9223372036854775808"})
        EXPECT_FALSE(parseInteger(text, &integer)) << text;
    EXPECT_TRUE(parseNumber("2.5e3", &number));
    EXPECT_EQ(number, 2500);
    EXPECT_TRUE(parseNumber("-0.25", &number));
    EXPECT_EQ(number, -0.25);
    for (const char *text : {"", "+1", "1,5", "inf", "nan", "1e999", "2.5x"})
        EXPECT_FALSE(parseNumber(text, &number)) << text;
}

TEST(SdkSettings, SimulatedCameraWritesItsFourFeaturesAndRefusesTheRest)
{
    SimConfig config;
    EXPECT_EQ(SetSimFeature("Width", "4294967295", &config), "");
    EXPECT_EQ(SetSimFeature("Height", "1", &config), "");
    EXPECT_EQ(SetSimFeature("PixelFormat", "Mono16", &config), "");
    EXPECT_EQ(SetSimFeature("AcquisitionFrameRate", "2.5e2", &config), "");
    EXPECT_EQ(
        std::make_tuple(config.width, config.height, config.pixelFormat, config.framesPerSecond),
        std::make_tuple(int64_t{4294967295}, int64_t{1}, J_PF_MONO16, 250.0));
    const std::string unknown = "no such feature (the simulated camera writes Width, Height, "
                                "PixelFormat, AcquisitionFrameRate)";
    for (const auto &[feature, value, reason] :
         std::vector<std::tuple<const char *, const char *, std::string>>{
             {"Width", "0", "out of range (1 to 4294967295)"},
             {"Height", "4294967296", "out of range (1 to 4294967295)"},
             {"Height", "32.0", "not an integer"},
             {"PixelFormat", "mono8", "not a pixel format this library knows"},
             {"AcquisitionFrameRate", "100000.5", "out of range (0.001 to 100000)"},
             {"AcquisitionFrameRate", "fast", "not a number"},
             {"ExposureTime", "1000", unknown},
             {"width", "64", unknown}}) {
        SimConfig unchanged = config;
        const std::string refusal = SetSimFeature(feature, value, &unchanged);
        EXPECT_EQ(refusal.substr(0, reason.size()), reason) << feature << "=" << value;
        EXPECT_EQ(std::make_tuple(unchanged.width, unchanged.height, unchanged.pixelFormat,
                                  unchanged.framesPerSecond),
                  std::make_tuple(config.width, config.height, config.pixelFormat,
                                  config.framesPerSecond));
    }
}

TEST(SdkSettings, FeaturesReachTheOpenedCameraAndARefusalFailsTheOpening)
{
    {
        ScopedConfig config({{"CAMERA_SDK_FEATURES", "Width=64; Height=32; PixelFormat=Mono16"}});
        OpenedCamera opened;
        int64_t width = 0, height = 0, format = 0;
        EXPECT_EQ(J_Camera_GetValueInt64(opened.camera, "Width", &width), J_ST_SUCCESS);
        EXPECT_EQ(J_Camera_GetValueInt64(opened.camera, "Height", &height), J_ST_SUCCESS);
        EXPECT_EQ(J_Camera_GetValueInt64(opened.camera, "PixelFormat", &format), J_ST_SUCCESS);
        EXPECT_EQ(std::make_tuple(width, height, format),
                  std::make_tuple(int64_t{64}, int64_t{32}, int64_t{J_PF_MONO16}));
    }
    {
        ScopedConfig config({{"CAMERA_SDK_FEATURES", "Width=64; Height=0; Width=32"}});
        EXPECT_EQ(OpenCameraZero(),
                  std::make_pair(J_ST_INVALID_PARAMETER,
                                 std::string("Jai_Factory: CAMERA_SDK_FEATURES: \"Height=0\" "
                                             "refused by SIMCAM-0: out of range (1 to "
                                             "4294967295) (already written, and kept by the "
                                             "camera: Width=64)\n")));
    }
    // A list that cannot be parsed fails the factory instead.
    ScopedConfig config({{"CAMERA_SDK_FEATURES", "Width"}});
    FACTORY_HANDLE factory = nullptr;
    testing::internal::CaptureStderr();
    EXPECT_EQ(J_Factory_Open("", &factory), J_ST_CONFIGURATION);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Jai_Factory: CAMERA_SDK_FEATURES: \"Width\" has no '=' (Name=Value;...)\n");
}

TEST(SdkSettings, ChosenCameraIsTheOnlyOneListedOrNoneWithTheIDsSeen)
{
    ScopedConfig config({{"SIMCAM_CAMERAS", "3"}, {"CAMERA_SDK_CAMERA", "SIMCAM-1"}});
    FACTORY_HANDLE factory = nullptr;
    CAM_HANDLE camera = nullptr;
    uint8_t changed = 0;
    uint32_t count = 0, size = 64;
    char id[64] = {};
    ASSERT_EQ(J_Factory_Open("", &factory), J_ST_SUCCESS);
    EXPECT_EQ(J_Factory_UpdateCameraList(factory, &changed), J_ST_SUCCESS);
    EXPECT_EQ(J_Factory_GetNumOfCameras(factory, &count), J_ST_SUCCESS);
    EXPECT_EQ(J_Factory_GetCameraIDByIndex(factory, 0, id, &size), J_ST_SUCCESS);
    EXPECT_EQ(std::make_tuple(changed, count, std::string(id)),
              std::make_tuple(uint8_t{1}, 1u, std::string("SIMCAM-1")));
    EXPECT_EQ(J_Camera_Open(factory, "SIMCAM-0", &camera), J_ST_NOT_AVAILABLE);
    EXPECT_EQ(J_Camera_Open(factory, "SIMCAM-1", &camera), J_ST_SUCCESS);
    J_Factory_Close(factory);

    ScopedConfig missing({{"SIMCAM_CAMERAS", "2"}, {"CAMERA_SDK_CAMERA", "SIMCAM-2"}});
    ASSERT_EQ(J_Factory_Open("", &factory), J_ST_SUCCESS);
    testing::internal::CaptureStderr();
    EXPECT_EQ(J_Factory_UpdateCameraList(factory, &changed), J_ST_SUCCESS);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Jai_Factory: CAMERA_SDK_CAMERA: \"SIMCAM-2\" is not among the cameras found: "
              "SIMCAM-0, SIMCAM-1\n");
    EXPECT_EQ(J_Factory_GetNumOfCameras(factory, &count), J_ST_SUCCESS);
    EXPECT_EQ(std::make_pair(changed, count), std::make_pair(uint8_t{0}, 0u));
    J_Factory_Close(factory);
}

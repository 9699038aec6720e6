// Handles, the camera list, features and stream arguments.
#include "sdk_test_support.h"

namespace {

void IgnoreFrame(void *, J_IMAGE_RECORD *) {}

STREAM_HANDLE OpenStream(CAM_HANDLE camera, uint32_t bufferSize = 1u << 30)
{
    STREAM_HANDLE stream = nullptr;
    EXPECT_EQ(J_Image_OpenStream(camera, 0, nullptr, IgnoreFrame, &stream, bufferSize, 0),
              J_ST_SUCCESS);
    return stream;
}

// Every call that takes a handle, made with the given ones, must answer J_ST_INVALID_HANDLE.
void ExpectAllRefused(FACTORY_HANDLE factory, CAM_HANDLE camera, STREAM_HANDLE stream)
{
    uint8_t changed = 0;
    uint32_t count = 0, size = 64;
    char id[64];
    void *opened = nullptr;
    int64_t value = 0;
    EXPECT_EQ(std::vector<J_STATUS_TYPE>(
                  {J_Factory_UpdateCameraList(factory, &changed),
                   J_Factory_GetNumOfCameras(factory, &count),
                   J_Factory_GetCameraIDByIndex(factory, 0, id, &size),
                   J_Camera_Open(factory, "SIMCAM-0", &opened),
                   J_Camera_GetValueInt64(camera, "Width", &value),
                   J_Camera_ExecuteCommand(camera, "AcquisitionStart"),
                   J_Image_OpenStream(camera, 0, nullptr, IgnoreFrame, &opened, 1u << 30, 0),
                   J_Image_CloseStream(stream), J_Camera_Close(camera), J_Factory_Close(factory)}),
              std::vector<J_STATUS_TYPE>(10, J_ST_INVALID_HANDLE));
}

} // namespace

TEST(SdkHandles, NullUnknownForeignAndClosedHandlesAreRefused)
{
    ScopedConfig config;
    ExpectAllRefused(nullptr, nullptr, nullptr);
    void *unknown = reinterpret_cast<void *>(uintptr_t{0x5EED0000});
    ExpectAllRefused(unknown, unknown, unknown);
    OpenedCamera opened;
    const STREAM_HANDLE stream = OpenStream(opened.camera);
    ExpectAllRefused(opened.camera, stream, opened.factory); // each of another kind
    EXPECT_EQ(J_Camera_ExecuteCommand(opened.camera, "AcquisitionStart"), J_ST_SUCCESS);
    // Closing the camera closes its stream; closing the factory its cameras.
    ASSERT_EQ(J_Camera_Close(opened.camera), J_ST_SUCCESS);
    EXPECT_EQ(J_Image_CloseStream(stream), J_ST_INVALID_HANDLE);
    CAM_HANDLE camera = nullptr;
    ASSERT_EQ(J_Camera_Open(opened.factory, "SIMCAM-0", &camera), J_ST_SUCCESS);
    const STREAM_HANDLE secondStream = OpenStream(camera);
    ASSERT_EQ(J_Factory_Close(opened.factory), J_ST_SUCCESS);
    ExpectAllRefused(opened.factory, camera, secondStream);
}

TEST(SdkHandles, CameraListFillsAtTheFirstUpdate)
{
    ScopedConfig config({{"SIMCAM_CAMERAS", "3"}});
    FACTORY_HANDLE factory = nullptr;
    ASSERT_EQ(J_Factory_Open(nullptr, &factory), J_ST_SUCCESS);
    uint32_t counts[2] = {9, 9}, size = 512;
    uint8_t changed[2] = {};
    J_Factory_GetNumOfCameras(factory, &counts[0]);
    J_Factory_UpdateCameraList(factory, &changed[0]);
    J_Factory_UpdateCameraList(factory, &changed[1]);
    J_Factory_GetNumOfCameras(factory, &counts[1]);
    EXPECT_EQ(std::vector<int>({int(counts[0]), changed[0], changed[1], int(counts[1])}),
              std::vector<int>({0, 1, 0, 3}));
    char id[512];
    ASSERT_EQ(J_Factory_GetCameraIDByIndex(factory, 2, id, &size), J_ST_SUCCESS);
    EXPECT_EQ(std::string(id) + " " + std::to_string(size), "SIMCAM-2 9");
    CAM_HANDLE camera = nullptr;
    EXPECT_EQ(J_Camera_Open(factory, id, &camera), J_ST_SUCCESS);
    EXPECT_EQ(J_Camera_Open(factory, id, &camera), J_ST_WRONG_STATE); // open once at a time
    EXPECT_EQ(J_Camera_Open(factory, "SIMCAM-3", &camera), J_ST_NOT_AVAILABLE);
    size = 8; // one short: fails and tells the size it needs
    EXPECT_EQ(J_Factory_GetCameraIDByIndex(factory, 0, id, &size), J_ST_INVALID_PARAMETER);
    EXPECT_EQ(size, 9u);
    EXPECT_EQ(J_Factory_GetCameraIDByIndex(factory, 3, id, &size), J_ST_NOT_AVAILABLE);
    EXPECT_EQ(J_Factory_GetCameraIDByIndex(factory, -1, id, &size), J_ST_INVALID_PARAMETER);
    EXPECT_EQ(J_Factory_Close(factory), J_ST_SUCCESS);
}

TEST(SdkHandles, FeaturesGiveTheConfiguredIntegersAndAStreamNeedsAFittingFrame)
{
    // Any 64-bit value; a stream needs each dimension from 1 to 2^32-1, the frame within 32 bits.
    for (const auto &[width, height] : std::vector<std::pair<int64_t, int64_t>>{
             {INT64_MIN, INT64_MAX}, {0, 4}, {4, -1}, {int64_t{1} << 32, 1}, {65536, 65536}}) {
        ScopedConfig config(
            {{"SIMCAM_WIDTH", std::to_string(width)}, {"SIMCAM_HEIGHT", std::to_string(height)}});
        OpenedCamera opened;
        int64_t values[2] = {};
        J_Camera_GetValueInt64(opened.camera, "Width", &values[0]);
        J_Camera_GetValueInt64(opened.camera, "Height", &values[1]);
        EXPECT_EQ(std::make_pair(values[0], values[1]), std::make_pair(width, height));
        STREAM_HANDLE stream = nullptr;
        EXPECT_EQ(
            J_Image_OpenStream(opened.camera, 0, nullptr, IgnoreFrame, &stream, UINT32_MAX, 0),
            J_ST_INVALID_PARAMETER);
        EXPECT_NE(J_Camera_GetValueInt64(opened.camera, "Gain", &values[0]), J_ST_SUCCESS);
        EXPECT_NE(J_Camera_GetValueInt64(opened.camera, "Width", nullptr), J_ST_SUCCESS);
    }
    // 8 x 4 samples of 2 bytes: 64 bytes a frame.
    ScopedConfig config(
        {{"SIMCAM_WIDTH", "8"}, {"SIMCAM_HEIGHT", "4"}, {"SIMCAM_PIXEL_FORMAT", "BayerRG16"}});
    OpenedCamera opened;
    const CAM_HANDLE camera = opened.camera;
    EXPECT_EQ(J_Camera_ExecuteCommand(camera, "AcquisitionStart"), J_ST_WRONG_STATE); // no stream
    STREAM_HANDLE stream = nullptr;
    EXPECT_NE(J_Image_OpenStream(camera, 0, nullptr, IgnoreFrame, &stream, 63, 0), J_ST_SUCCESS);
    EXPECT_NE(J_Image_OpenStream(camera, 0, nullptr, nullptr, &stream, 64, 0), J_ST_SUCCESS);
    EXPECT_NE(J_Image_OpenStream(camera, 1, nullptr, IgnoreFrame, &stream, 64, 0), J_ST_SUCCESS);
    EXPECT_NE(J_Image_OpenStream(camera, 0, nullptr, IgnoreFrame, &stream, 64, 1), J_ST_SUCCESS);
    EXPECT_NE(J_Image_OpenStream(camera, 0, nullptr, IgnoreFrame, nullptr, 64, 0), J_ST_SUCCESS);
    EXPECT_EQ(stream, nullptr);
    stream = OpenStream(camera, 64);
    EXPECT_EQ(J_Image_OpenStream(camera, 0, nullptr, IgnoreFrame, &stream, 64, 0),
              J_ST_WRONG_STATE);
    EXPECT_EQ(J_Camera_ExecuteCommand(camera, "AcquisitionAbort"), J_ST_INVALID_PARAMETER);
    for (const char *command : {"AcquisitionStop", "AcquisitionStart", "AcquisitionStart",
                                "AcquisitionStop", "AcquisitionStop"})
        EXPECT_EQ(J_Camera_ExecuteCommand(camera, command), J_ST_SUCCESS) << command;
}

// Camera start-up, stream set-up, acquisition commands and shutdown (main thread).
#include "camera.h"

#include <cstdio>

// Runs the start-up steps and returns the line that says how far they got.
static const char *OpenFactoryAndCamera(CameraHandles *handles)
{
    if (J_Factory_Open("", &handles->factory) != J_ST_SUCCESS)
        return "\tCould not open the factory!\n";
    std::printf("\tOpened the factory.\n");

    uint8_t listChanged = 0;
    if (J_Factory_UpdateCameraList(handles->factory, &listChanged) != J_ST_SUCCESS)
        return "\tCould not update the camera list!\n";
    std::printf("\tUpdated the camera list.\n");

    uint32_t cameraCount = 0;
    if (J_Factory_GetNumOfCameras(handles->factory, &cameraCount) != J_ST_SUCCESS)
        return "\tCould not get the number of cameras!\n";
    if (cameraCount == 0)
        return "\tThere is no camera!\n";
    std::printf("\t%d cameras were found.\n", static_cast<int>(cameraCount));

    uint32_t idSize = sizeof handles->cameraId;
    if (J_Factory_GetCameraIDByIndex(handles->factory, 0, handles->cameraId, &idSize) !=
        J_ST_SUCCESS)
        return "\tCould not get the camera ID!\n";
    std::printf("\tcamera 0: %s\n", handles->cameraId);

    if (J_Camera_Open(handles->factory, handles->cameraId, &handles->camera) != J_ST_SUCCESS)
        return "\tCould not open the camera!\n";
    return "\tOpened camera 0.\n";
}

void OpenCamera(CameraHandles *handles)
{
    std::printf("Starting JAY capturage\n");
    handles->factory = nullptr;
    handles->camera = nullptr;
    std::printf("%s", OpenFactoryAndCamera(handles));
}

const char *OpenStream(CameraHandles *handles)
{
    int64_t width = 0;
    if (J_Camera_GetValueInt64(handles->camera, "Width", &width) != J_ST_SUCCESS ||
        !IsValidDimension(width))
        return "width\n";
    int64_t height = 0;
    if (J_Camera_GetValueInt64(handles->camera, "Height", &height) != J_ST_SUCCESS ||
        !IsValidDimension(height))
        return "height\n";
    uint32_t bufferSize = 0;
    if (!FrameBufferSize(static_cast<uint32_t>(width), static_cast<uint32_t>(height), &bufferSize))
        return "open stream\n";
    if (J_Image_OpenStream(handles->camera, 0, nullptr, FrameCallback, &handles->stream, bufferSize,
                           0) != J_ST_SUCCESS)
        return "open stream\n";
    return nullptr;
}

bool StartAcquisition(const CameraHandles &handles)
{
    return J_Camera_ExecuteCommand(handles.camera, "AcquisitionStart") == J_ST_SUCCESS;
}

bool StopAcquisition(const CameraHandles &handles)
{
    return J_Camera_ExecuteCommand(handles.camera, "AcquisitionStop") == J_ST_SUCCESS;
}

void CloseCamera(CameraHandles *handles)
{
    J_Image_CloseStream(handles->stream);
    J_Camera_Close(handles->camera);
    std::printf("\tClosed the camera.\n");
    J_Factory_Close(handles->factory);
    std::printf("\tClosed the factory.\n");
}

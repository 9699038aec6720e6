// The operations that the simulation's failure list (SIMCAM_FAIL) can make fail, and the two
// ways in which its frames can fail to come.
#ifndef JAI_FACTORY_FAILURE_POINTS_H
#define JAI_FACTORY_FAILURE_POINTS_H

#include <cstdint>

enum class FailurePoint : unsigned {
    FactoryOpen,
    UpdateCameraList,
    GetNumOfCameras,
    GetCameraIdByIndex,
    CameraOpen,
    OpenStream,
    ImageMalloc,
    FromRawToImage,
    SaveFile,
    ImageFree,
    Width,            // J_Camera_GetValueInt64 of "Width"
    Height,           // J_Camera_GetValueInt64 of "Height"
    AcquisitionStart, // J_Camera_ExecuteCommand of "AcquisitionStart"
    AcquisitionStop,  // J_Camera_ExecuteCommand of "AcquisitionStop"
    FrameData,        // every frame arrives incomplete, as when its packets are lost
    FrameStart,       // no frame comes, as from a camera that waits for a trigger
};

// One bit for each FailurePoint.
using FailureSet = uint32_t;

inline FailureSet FailureBit(FailurePoint point)
{
    return FailureSet{1} << static_cast<unsigned>(point);
}

inline bool Fails(FailureSet failures, FailurePoint point)
{
    return (failures & FailureBit(point)) != 0;
}

#endif

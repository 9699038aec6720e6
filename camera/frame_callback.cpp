// The frame callback and the saving of a frame to its slot's file (frame thread).
#include "camera.h"

#include <cstdio>

void FrameCallback(void *, J_IMAGE_RECORD *rawFrame)
{
    // Frames outside a capture, or after its first, would overwrite a file that a client
    // may be reading: they are dropped without a word.
    if (!ClaimCapture())
        return;
    const bool slotOne = SlotSelector();
    const char *fileName = slotOne ? "0001.tiff" : "0002.tiff";
    const bool saved = SaveFrame(rawFrame, fileName);
    if (saved)
        std::printf(slotOne ? "Gravou 1 \n" : "Gravou 2 \n");
    else
        std::printf("Failed to save file to disk, file name: %s\n", fileName);
    FinishCapture(saved);
}

bool SaveFrame(const J_IMAGE_RECORD *rawFrame, const char *fileName)
{
    // First of all, so that acquisition stops as soon as the frame is here.
    RaiseFrameArrived();
    J_IMAGE_RECORD converted{};
    if (J_Image_Malloc(rawFrame, &converted) != J_ST_SUCCESS)
        return false;
    bool saved = J_Image_FromRawToImage(rawFrame, &converted, 4096, 4096, 4096) == J_ST_SUCCESS;
    if (saved)
        saved = J_Image_SaveFile(&converted, fileName) == J_ST_SUCCESS;
    const bool freed = J_Image_Free(&converted) == J_ST_SUCCESS;
    return saved && freed;
}

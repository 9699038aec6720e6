/* Jai_Factory: C interface of the camera library (factory, camera, stream, image). */
#ifndef JAI_FACTORY_H
#define JAI_FACTORY_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Every call returns a status: 0 on success, non-zero on failure. */
typedef int32_t J_STATUS_TYPE;

#define J_ST_SUCCESS 0
#define J_ST_INVALID_HANDLE 1     /* null, unknown or already closed handle */
#define J_ST_INVALID_PARAMETER 2  /* null pointer, bad size, unknown feature */
#define J_ST_INJECTED_FAILURE 3   /* operation named in the failure list of the simulation */
#define J_ST_NOT_AVAILABLE 4      /* no such camera, backend not built, out of memory */
#define J_ST_WRONG_STATE 5        /* e.g. a second stream on one camera */
#define J_ST_CONVERSION_FAILED 6  /* pixel format or size the conversion cannot handle */
#define J_ST_FILE_ERROR 7         /* the image file could not be written */
#define J_ST_CONFIGURATION 8      /* malformed library configuration */

/* Opaque handles; null until opened. */
typedef void *FACTORY_HANDLE;
typedef void *CAM_HANDLE;
typedef void *STREAM_HANDLE;

/* Pixel formats of raw frames (GenICam PFNC values) and of converted images. */
#define J_PF_MONO8 0x01080001u
#define J_PF_MONO10 0x01100003u
#define J_PF_MONO12 0x01100005u
#define J_PF_MONO14 0x01100025u
#define J_PF_MONO16 0x01100007u
#define J_PF_MONO10P 0x010A0046u
#define J_PF_MONO12P 0x010C0047u
#define J_PF_MONO10_PACKED 0x010C0004u
#define J_PF_MONO12_PACKED 0x010C0006u
#define J_PF_BAYER_GR8 0x01080008u
#define J_PF_BAYER_RG8 0x01080009u
#define J_PF_BAYER_GB8 0x0108000Au
#define J_PF_BAYER_BG8 0x0108000Bu
#define J_PF_BAYER_GR10 0x0110000Cu
#define J_PF_BAYER_RG10 0x0110000Du
#define J_PF_BAYER_GB10 0x0110000Eu
#define J_PF_BAYER_BG10 0x0110000Fu
#define J_PF_BAYER_GR12 0x01100010u
#define J_PF_BAYER_RG12 0x01100011u
#define J_PF_BAYER_GB12 0x01100012u
#define J_PF_BAYER_BG12 0x01100013u
#define J_PF_BAYER_GR16 0x0110002Eu
#define J_PF_BAYER_RG16 0x0110002Fu
#define J_PF_BAYER_GB16 0x01100030u
#define J_PF_BAYER_BG16 0x01100031u
#define J_PF_BAYER_GR10P 0x010A0056u
#define J_PF_BAYER_RG10P 0x010A0058u
#define J_PF_BAYER_GB10P 0x010A0054u
#define J_PF_BAYER_BG10P 0x010A0052u
#define J_PF_BAYER_GR12P 0x010C0057u
#define J_PF_BAYER_RG12P 0x010C0059u
#define J_PF_BAYER_GB12P 0x010C0055u
#define J_PF_BAYER_BG12P 0x010C0053u
#define J_PF_BAYER_GR10_PACKED 0x010C0026u
#define J_PF_BAYER_RG10_PACKED 0x010C0027u
#define J_PF_BAYER_GB10_PACKED 0x010C0028u
#define J_PF_BAYER_BG10_PACKED 0x010C0029u
#define J_PF_BAYER_GR12_PACKED 0x010C002Au
#define J_PF_BAYER_RG12_PACKED 0x010C002Bu
#define J_PF_BAYER_GB12_PACKED 0x010C002Cu
#define J_PF_BAYER_BG12_PACKED 0x010C002Du
#define J_PF_RGB8 0x02180014u
#define J_PF_BGR8 0x02180015u
#define J_PF_RGBA8 0x02200016u
#define J_PF_BGRA8 0x02200017u
#define J_PF_RGB10 0x02300018u
#define J_PF_BGR10 0x02300019u
#define J_PF_RGB12 0x0230001Au
#define J_PF_BGR12 0x0230001Bu
#define J_PF_RGB16 0x02300033u
#define J_PF_BGR16 0x0230004Bu
#define J_PF_YUV422_8 0x02100032u      /* Y0 U Y1 V */
#define J_PF_YUV422_8_UYVY 0x0210001Fu /* U Y0 V Y1: GigE Vision's YUV422Packed */
#define J_PF_YCBCR422_8 0x0210003Bu    /* Y0 Cb Y1 Cr */
#define J_PF_GRAY8 0x01080001u  /* converted grey, 8 bits: same layout as Mono8 */
#define J_PF_GRAY16 0x01100007u /* converted grey, 16 bits: same layout as Mono16 */
#define J_PF_RGB24 0x02180014u  /* converted colour, R G B bytes per pixel: same as RGB8 */
#define J_PF_RGB48 0x02300033u  /* converted colour, R G B 16-bit words per pixel: as RGB16 */

/* One image, raw (as delivered to the frame callback) or converted (J_Image_Malloc).
   Sixteen-bit samples are in the machine's byte order. */
typedef struct J_IMAGE_RECORD {
    uint32_t pixelFormat;
    uint32_t width;
    uint32_t height;
    uint32_t imageSize; /* bytes in buffer */
    uint8_t *buffer;
    uint64_t frameId;     /* frame counter: from 1 per stream when simulated, the camera's own
                             counter (kept growing past its wrap) for a real camera */
    uint64_t timestampUs; /* camera time of the frame, in microseconds */
} J_IMAGE_RECORD;

/* Called once for every delivered frame, on a thread of the library. The record and
   its buffer belong to the library and are valid only during the call. */
typedef void (*J_FRAME_CALLBACK)(void *callbackObject, J_IMAGE_RECORD *rawFrame);

/* Reads the library's configuration from the environment; a malformed one fails the call with
   one line on standard error. The camera list is empty until J_Factory_UpdateCameraList. */
J_STATUS_TYPE J_Factory_Open(const char *privateData, FACTORY_HANDLE *factory);
J_STATUS_TYPE J_Factory_Close(FACTORY_HANDLE factory);
J_STATUS_TYPE J_Factory_UpdateCameraList(FACTORY_HANDLE factory, uint8_t *listChanged);
J_STATUS_TYPE J_Factory_GetNumOfCameras(FACTORY_HANDLE factory, uint32_t *count);
/* size: in, the capacity of cameraId; out, the bytes written including the terminator. When
   the capacity is too small the call fails, writes nothing and sets size to the bytes needed. */
J_STATUS_TYPE J_Factory_GetCameraIDByIndex(FACTORY_HANDLE factory, int32_t index, char *cameraId,
                                           uint32_t *size);

/* A camera is open once at a time: a second open fails with J_ST_WRONG_STATE. The features
   of the configuration (CAMERA_SDK_FEATURES) are written as it opens; a refused one fails the
   call with J_ST_INVALID_PARAMETER, after one line on standard error. */
J_STATUS_TYPE J_Camera_Open(FACTORY_HANDLE factory, const char *cameraId, CAM_HANDLE *camera);
J_STATUS_TYPE J_Camera_Close(CAM_HANDLE camera);
J_STATUS_TYPE J_Camera_GetValueInt64(CAM_HANDLE camera, const char *featureName, int64_t *value);
/* "AcquisitionStart" and "AcquisitionStop" need the camera's stream open; repeating either
   succeeds and changes nothing. Stop does not wait for a callback that is running. */
J_STATUS_TYPE J_Camera_ExecuteCommand(CAM_HANDLE camera, const char *featureName);

/* Opens the camera's stream; frames reach callback between "AcquisitionStart" and
   "AcquisitionStop". bufferSize is the size of each frame buffer: a frame that needs more
   fails the call. flags must be 0. After J_Image_CloseStream returns no callback runs.
   J_Image_CloseStream, J_Camera_Close and J_Factory_Close fail with J_ST_WRONG_STATE when
   called from a callback, as they wait for frame threads to end. */
J_STATUS_TYPE J_Image_OpenStream(CAM_HANDLE camera, uint32_t channel, void *callbackObject,
                                 J_FRAME_CALLBACK callback, STREAM_HANDLE *stream,
                                 uint32_t bufferSize, uint32_t flags);
J_STATUS_TYPE J_Image_CloseStream(STREAM_HANDLE stream);

/* Allocates in converted the buffer for the converted form of rawFrame: 8-bit grey for Mono8,
   16-bit grey for deeper Mono formats, 24-bit RGB for 8-bit Bayer, RGB and YUV formats and
   48-bit RGB for deeper Bayer and RGB formats. A format the library does not convert fails
   the call with one line on standard error naming it. The frame id and
   timestamp are carried over, so that the saved file names its frame. */
J_STATUS_TYPE J_Image_Malloc(const J_IMAGE_RECORD *rawFrame, J_IMAGE_RECORD *converted);
/* Converts rawFrame into converted (allocated by J_Image_Malloc for it), and gives converted
   the frame id and timestamp of rawFrame. A rawFrame shorter than its format and dimensions
   need is refused. The gains are in units of 1/4096: 4096 leaves values
   unchanged; results are rounded and clamped. Grey images take greenGain. */
J_STATUS_TYPE J_Image_FromRawToImage(const J_IMAGE_RECORD *rawFrame, J_IMAGE_RECORD *converted,
                                     uint32_t redGain, uint32_t greenGain, uint32_t blueGain);
/* Writes image (J_PF_GRAY8, J_PF_GRAY16, J_PF_RGB24 or J_PF_RGB48) as a baseline TIFF. The
   file appears complete or not at all. Its ImageDescription starts with the frame id and
   timestamp; an image converted from a frame during that frame's callback also gets what the
   library knows of the frame: the camera, its settings and the time it arrived. */
J_STATUS_TYPE J_Image_SaveFile(const J_IMAGE_RECORD *image, const char *fileName);
/* Frees a buffer from J_Image_Malloc and sets image->buffer to null; any other buffer fails. */
J_STATUS_TYPE J_Image_Free(J_IMAGE_RECORD *image);

#ifdef __cplusplus
}
#endif

#endif

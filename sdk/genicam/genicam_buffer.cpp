// Whether an Aravis buffer holds one whole image.
#include "genicam_buffer.h"

bool IsCompleteImage(ArvBuffer *buffer)
{
    if (arv_buffer_get_status(buffer) != ARV_BUFFER_STATUS_SUCCESS)
        return false;
    const ArvBufferPayloadType payload = arv_buffer_get_payload_type(buffer);
    if (payload != ARV_BUFFER_PAYLOAD_TYPE_IMAGE &&
        payload != ARV_BUFFER_PAYLOAD_TYPE_EXTENDED_CHUNK_DATA)
        return false;
    return arv_buffer_get_n_parts(buffer) > 0 &&
           arv_buffer_get_part_data_type(buffer, 0) == ARV_BUFFER_PART_DATA_TYPE_2D_IMAGE;
}

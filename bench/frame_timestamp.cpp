// Reading a saved frame's timestamp through libtiff.
#include "frame_timestamp.h"

#include <tiffio.h>

#include <cstdlib>
#include <cstring>

bool ReadFrameTimestampUs(const std::string &path, uint64_t *timestampUs)
{
    TIFFSetWarningHandler(nullptr);
    TIFF *tiff = TIFFOpen(path.c_str(), "r");
    if (tiff == nullptr)
        return false;
    const char *description = nullptr;
    const char *field = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_IMAGEDESCRIPTION, &description) == 1 &&
        description != nullptr)
        field = std::strstr(description, "timestamp_us=");
    char *end = nullptr;
    const unsigned long long value =
        field == nullptr ? 0 : std::strtoull(field + std::strlen("timestamp_us="), &end, 10);
    const bool read = field != nullptr && end != field + std::strlen("timestamp_us=");
    TIFFClose(tiff);
    if (!read)
        return false;
    *timestampUs = value;
    return true;
}

// The ImageDescription's keys and the standard tags of a saved image.
#include "image_tags.h"

#include "pixel_formats.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <type_traits>

namespace {

// Spaces would end the value early, and control bytes have no place in a text tag.
std::string WithoutSpaces(const std::string &text)
{
    std::string value = text;
    for (char &byte : value) {
        const unsigned char code = static_cast<unsigned char>(byte);
        if (code <= ' ' || code == 0x7F)
            byte = '_';
    }
    return value;
}

// The shortest form that reads back as the value to 15 significant digits: 10000, 29.97.
std::string Number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

void AddKey(std::string *description, const char *key, const std::string &value)
{
    *description += std::string(" ") + key + "=" + WithoutSpaces(value);
}

template <typename T>
void AddKnown(std::string *description, const char *key, const std::optional<T> &value)
{
    if (!value)
        return;
    if constexpr (std::is_integral<T>::value)
        AddKey(description, key, std::to_string(*value));
    else
        AddKey(description, key, Number(*value));
}

// Days since 1970-01-01 to the civil date (proleptic Gregorian), as Howard Hinnant's
// civil_from_days: plain arithmetic, so that no shared state of the C library is touched.
void CivilDate(int64_t days, int64_t *year, unsigned *month, unsigned *day)
{
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    *day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    *month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    *year = static_cast<int64_t>(yearOfEra) + era * 400 + (*month <= 2 ? 1 : 0);
}

// The host's local time, as TIFF's DateTime writes it; empty when the C library cannot say.
// std::localtime shares one result between threads on some systems: one call at a time.
std::string LocalDateTime(std::chrono::system_clock::time_point time)
{
    static std::mutex localtimeMutex;
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    {
        std::lock_guard<std::mutex> lock(localtimeMutex);
        const std::tm *converted = std::localtime(&seconds);
        if (converted == nullptr)
            return {};
        local = *converted;
    }
    char text[32];
    if (std::strftime(text, sizeof text, "%Y:%m:%d %H:%M:%S", &local) != 19)
        return {};
    return text;
}

// time in UTC as ISO 8601 with microseconds: "2026-12-10T13:52:00.123456Z".
std::string IsoUtcTime(std::chrono::system_clock::time_point time)
{
    const int64_t micros =
        std::chrono::duration_cast<std::chrono::microseconds>(time.time_since_epoch()).count();
    const int64_t perDay = int64_t{86400} * 1000000;
    const int64_t days = (micros >= 0 ? micros : micros - perDay + 1) / perDay;
    const int64_t ofDay = micros - days * perDay;
    int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    CivilDate(days, &year, &month, &day);
    const int64_t seconds = ofDay / 1000000;
    char text[48];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02lld:%02lld:%02lld.%06lldZ",
                  static_cast<long long>(year), month, day, static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60),
                  static_cast<long long>(ofDay % 1000000));
    return text;
}

} // namespace

ImageTexts DescribeImage(const J_IMAGE_RECORD &image, const FrameMetadata *metadata)
{
    ImageTexts texts;
    texts.software = JAI_FACTORY_SOFTWARE;
    texts.description = "frame_id=" + std::to_string(image.frameId) +
                        " timestamp_us=" + std::to_string(image.timestampUs);
    if (metadata == nullptr)
        return texts;
    const FrameOrigin &origin = metadata->origin;
    std::string &description = texts.description;
    AddKey(&description, "timestamp_clock", origin.cameraClock ? "camera" : "host");
    AddKey(&description, "host_time", IsoUtcTime(origin.arrival));
    if (!metadata->cameraId.empty())
        AddKey(&description, "camera", metadata->cameraId);
    const PixelFormatInfo *format = FindPixelFormat(metadata->rawPixelFormat);
    if (format != nullptr)
        AddKey(&description, "pixel_format", format->name);
    AddKey(&description, "width", std::to_string(image.width));
    AddKey(&description, "height", std::to_string(image.height));
    texts.dateTime = LocalDateTime(origin.arrival);
    if (origin.camera == nullptr)
        return texts;
    const CameraDescription &camera = *origin.camera;
    AddKnown(&description, "offset_x", camera.offsetX);
    AddKnown(&description, "offset_y", camera.offsetY);
    AddKnown(&description, "exposure_us", camera.exposureUs);
    AddKnown(&description, "gain", camera.gain);
    AddKnown(&description, "frame_rate", camera.frameRate);
    AddKnown(&description, "temperature_c", camera.temperatureC);
    texts.make = camera.vendor;
    texts.model = camera.model;
    return texts;
}

// Reading the names and settings of a GenICam camera; a feature it lacks is left out.
#include "genicam_description.h"

#include <initializer_list>
#include <string>

namespace {

const auto kTemperatureAge = std::chrono::minutes(1);

// Each reader leaves value empty when the camera lacks the feature or refuses the read.
void ReadString(ArvDevice *device, const char *feature, std::string *value)
{
    GError *error = nullptr;
    const char *read = arv_device_get_string_feature_value(device, feature, &error);
    if (error != nullptr) {
        g_error_free(error);
        return;
    }
    if (read != nullptr)
        *value = read;
}

void ReadInteger(ArvDevice *device, const char *feature, std::optional<int64_t> *value)
{
    value->reset();
    GError *error = nullptr;
    if (!arv_device_is_feature_available(device, feature, &error)) {
        g_clear_error(&error);
        return;
    }
    const gint64 read = arv_device_get_integer_feature_value(device, feature, &error);
    if (error != nullptr) {
        g_error_free(error);
        return;
    }
    *value = read;
}

void ReadFloat(ArvDevice *device, const char *feature, std::optional<double> *value)
{
    value->reset();
    GError *error = nullptr;
    if (!arv_device_is_feature_available(device, feature, &error)) {
        g_clear_error(&error);
        return;
    }
    const double read = arv_device_get_float_feature_value(device, feature, &error);
    if (error != nullptr) {
        g_error_free(error);
        return;
    }
    *value = read;
}

bool AvailableAny(ArvCamera *camera, std::initializer_list<const char *> features)
{
    for (const char *feature : features) {
        GError *error = nullptr;
        const bool available =
            arv_device_is_feature_available(arv_camera_get_device(camera), feature, &error);
        g_clear_error(&error);
        if (available)
            return true;
    }
    return false;
}

// Aravis reads exposure, gain and frame rate under the names the camera gives them
// (ExposureTime or ExposureTimeAbs, Gain, GainAbs or GainRaw, AcquisitionFrameRate or
// AcquisitionFrameRateAbs); where the camera has none of them, the value is left out.
void ReadNamed(ArvCamera *camera, std::initializer_list<const char *> names,
               double (*reader)(ArvCamera *, GError **), std::optional<double> *value)
{
    value->reset();
    if (!AvailableAny(camera, names))
        return;
    GError *error = nullptr;
    const double read = reader(camera, &error);
    if (error != nullptr) {
        g_error_free(error);
        return;
    }
    *value = read;
}

void ReadExposure(ArvCamera *camera, std::optional<double> *value)
{
    ReadNamed(camera, {"ExposureTime", "ExposureTimeAbs"}, arv_camera_get_exposure_time, value);
}

void ReadGain(ArvCamera *camera, std::optional<double> *value)
{
    ReadNamed(camera, {"Gain", "GainAbs", "GainRaw"}, arv_camera_get_gain, value);
}

// An automatic mode is on where its feature is there and reads anything but Off.
bool IsAutomatic(ArvDevice *device, const char *feature)
{
    GError *error = nullptr;
    if (!arv_device_is_feature_available(device, feature, &error)) {
        g_clear_error(&error);
        return false;
    }
    const char *read = arv_device_get_string_feature_value(device, feature, &error);
    if (error != nullptr) {
        g_error_free(error);
        return false;
    }
    return read != nullptr && std::string(read) != "Off";
}

} // namespace

GenicamDescription DescribeGenicamCamera(ArvCamera *camera)
{
    ArvDevice *device = arv_camera_get_device(camera);
    GenicamDescription description;
    CameraDescription &described = description.camera;
    ReadString(device, "DeviceVendorName", &described.vendor);
    ReadString(device, "DeviceModelName", &described.model);
    ReadInteger(device, "OffsetX", &described.offsetX);
    ReadInteger(device, "OffsetY", &described.offsetY);
    ReadExposure(camera, &described.exposureUs);
    ReadGain(camera, &described.gain);
    ReadNamed(camera, {"AcquisitionFrameRate", "AcquisitionFrameRateAbs"},
              arv_camera_get_frame_rate, &described.frameRate);
    ReadFloat(device, "DeviceTemperature", &described.temperatureC);
    description.temperatureReadAt = std::chrono::steady_clock::now();
    description.exposureAuto = IsAutomatic(device, "ExposureAuto");
    description.gainAuto = IsAutomatic(device, "GainAuto");
    return description;
}

bool RefreshGenicamDescription(ArvCamera *camera, GenicamDescription *description)
{
    CameraDescription &described = description->camera;
    if (description->exposureAuto)
        ReadExposure(camera, &described.exposureUs);
    if (description->gainAuto)
        ReadGain(camera, &described.gain);
    const auto now = std::chrono::steady_clock::now();
    const bool temperatureDue =
        described.temperatureC && now - description->temperatureReadAt >= kTemperatureAge;
    if (temperatureDue) {
        ReadFloat(arv_camera_get_device(camera), "DeviceTemperature", &described.temperatureC);
        description->temperatureReadAt = now;
    }
    return description->exposureAuto || description->gainAuto || temperatureDue;
}

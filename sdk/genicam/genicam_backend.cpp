// The GenICam backend through Aravis: the device list, the cameras and their features.
#include "genicam_backend.h"

#include "genicam_features.h"
#include "genicam_stream.h"

#include <arv.h>

#include <cstdio>
#include <vector>

namespace {

// Prints Aravis's reason for a failed step on standard error and frees it.
void ReportError(const std::string &step, GError *error)
{
    std::fprintf(stderr, "Jai_Factory: %s: %s\n", step.c_str(), error->message);
    g_error_free(error);
}

// A GigE Vision camera may be set for packets larger than the network passes (jumbo packets
// on a 1500-byte network), and then every frame arrives incomplete: unless the settings chose
// a size, the largest size that reaches this computer is found by test packets, where the
// camera can send them, and kept for every stream (Aravis would otherwise check it again).
void NegotiatePacketSize(ArvCamera *camera, const std::string &id, bool chosenInSettings)
{
    if (!arv_camera_is_gv_device(camera))
        return;
    arv_camera_gv_set_packet_size_adjustment(camera, ARV_GV_PACKET_SIZE_ADJUSTMENT_NEVER);
    if (chosenInSettings)
        return;
    GError *error = nullptr;
    const guint bytes = arv_camera_gv_auto_packet_size(camera, &error);
    if (error != nullptr) {
        ReportError("camera " + id + ": packet size", error);
        return;
    }
    const bool tested =
        arv_device_get_feature(arv_camera_get_device(camera), "GevSCPSFireTestPacket") != nullptr;
    std::fprintf(stderr, "Jai_Factory: %s: GigE Vision packet size %u bytes, %s\n", id.c_str(),
                 bytes,
                 tested ? "the largest that reaches this computer"
                        : "as the camera has it (it sends no test packets)");
}

class GenicamCamera : public BackendCamera {
  public:
    GenicamCamera(ArvCamera *camera, const std::string &id) : camera_(camera), id_(id)
    {
        lostHandler_ = g_signal_connect(arv_camera_get_device(camera_), "control-lost",
                                        G_CALLBACK(OnControlLost), &loss_);
    }

    // Dropping the last reference joins the heartbeat thread, so loss_ outlives its handler.
    ~GenicamCamera() override
    {
        g_signal_handler_disconnect(arv_camera_get_device(camera_), lostHandler_);
        g_object_unref(camera_);
    }

    J_STATUS_TYPE GetValueInt64(const std::string &feature, int64_t *value) override
    {
        GError *error = nullptr;
        const gint64 read = arv_device_get_integer_feature_value(arv_camera_get_device(camera_),
                                                                 feature.c_str(), &error);
        if (error != nullptr) {
            ReportError(feature, error);
            return J_ST_INVALID_PARAMETER;
        }
        *value = read;
        return J_ST_SUCCESS;
    }

    std::string SetFeature(const std::string &feature, const std::string &value) override
    {
        const std::string refusal =
            SetGenicamFeature(arv_camera_get_device(camera_), feature, value);
        packetSizeChosen_ = packetSizeChosen_ || (refusal.empty() && feature == kPacketSize);
        return refusal;
    }

    J_STATUS_TYPE OpenStream(const FrameSink &sink, uint32_t bufferSize,
                             std::unique_ptr<BackendStream> *stream) override
    {
        GError *error = nullptr;
        const guint payload = arv_camera_get_payload(camera_, &error);
        if (error != nullptr) {
            ReportError("payload size", error);
            return J_ST_NOT_AVAILABLE;
        }
        if (payload == 0 || payload > bufferSize)
            return J_ST_INVALID_PARAMETER;
        NegotiatePacketSize(camera_, id_, packetSizeChosen_);
        return OpenGenicamStream(camera_, &loss_, sink, payload, stream);
    }

  private:
    // On Aravis's heartbeat thread (GigE Vision) or its USB event thread (USB3 Vision).
    static void OnControlLost(ArvDevice *, void *loss)
    {
        ReportCameraLost(static_cast<CameraLoss *>(loss));
    }

    static constexpr const char *kPacketSize = "GevSCPSPacketSize";

    ArvCamera *const camera_;
    const std::string id_;
    bool packetSizeChosen_ = false; // written through CAMERA_SDK_FEATURES
    CameraLoss loss_;
    gulong lostHandler_ = 0;
};

class GenicamBackend : public CameraBackend {
  public:
    J_STATUS_TYPE UpdateCameraList(bool *listChanged) override
    {
        arv_update_device_list();
        std::vector<std::string> ids;
        const unsigned int count = arv_get_n_devices();
        for (unsigned int index = 0; index < count; ++index) {
            const char *id = arv_get_device_id(index);
            if (id != nullptr)
                ids.push_back(id);
        }
        *listChanged = ids != ids_;
        ids_ = ids;
        return J_ST_SUCCESS;
    }

    uint32_t CameraCount() const override { return static_cast<uint32_t>(ids_.size()); }

    std::string CameraId(uint32_t index) const override { return ids_[index]; }

    J_STATUS_TYPE OpenCamera(const std::string &id, std::unique_ptr<BackendCamera> *camera) override
    {
        bool listed = false;
        for (const std::string &known : ids_)
            listed = listed || known == id;
        if (!listed)
            return J_ST_NOT_AVAILABLE;
        GError *error = nullptr;
        ArvCamera *opened = arv_camera_new(id.c_str(), &error);
        if (opened == nullptr) {
            ReportError("camera " + id, error);
            return J_ST_NOT_AVAILABLE;
        }
        *camera = std::make_unique<GenicamCamera>(opened, id);
        return J_ST_SUCCESS;
    }

  private:
    std::vector<std::string> ids_;
};

} // namespace

BackendChoice ChooseGenicamBackend(const char *, const std::string &)
{
    return BackendChoice{J_ST_SUCCESS, std::make_unique<GenicamBackend>(), 0, {}};
}

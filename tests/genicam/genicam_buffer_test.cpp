// Which Aravis buffers count as whole images.
#include "genicam_buffer.h"

#include <arv.h>
#include <gtest/gtest.h>

#include <cstddef>

namespace {

int warnings = 0;

void CountWarning(const gchar *, GLogLevelFlags, const gchar *, gpointer) { ++warnings; }

TEST(GenicamBuffer, OnlyAFilledImageCountsAndAnEmptyOneIsNotAskedWhatItHolds)
{
    const GLogFunc previous = g_log_set_default_handler(CountWarning, nullptr);
    ArvFakeCamera *camera = arv_fake_camera_new("BUFFER01");
    const size_t payload = arv_fake_camera_get_payload(camera);
    ArvBuffer *buffer = arv_buffer_new_allocate(payload);

    warnings = 0;
    EXPECT_FALSE(IsCompleteImage(buffer)); // no packet has reached it: no status, no part
    EXPECT_EQ(warnings, 0);

    guint32 packetSize = 0;
    arv_fake_camera_fill_buffer(camera, buffer, &packetSize);
    EXPECT_TRUE(IsCompleteImage(buffer));
    EXPECT_EQ(warnings, 0);

    g_object_unref(buffer);
    g_object_unref(camera);
    g_log_set_default_handler(previous, nullptr);
}

} // namespace

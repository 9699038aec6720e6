// The texts that say what a saved image is: its ImageDescription, Make, Model, Software and
// DateTime.
//
// ImageDescription starts "frame_id=<n> timestamp_us=<t>" and goes on with the frame's
// metadata as space-separated key=value pairs, in this order, each only where it is known:
// timestamp_clock (camera or host), host_time (UTC, microseconds, Z), camera, pixel_format,
// width, height, offset_x, offset_y, exposure_us, gain, frame_rate, temperature_c. A value's
// spaces and control bytes are written as '_', so that no value holds a space.
#ifndef JAI_FACTORY_IMAGE_TAGS_H
#define JAI_FACTORY_IMAGE_TAGS_H

#include <Jai_Factory.h>

#include "frame_metadata.h"

#include <string>

struct ImageTexts {
    std::string description;
    std::string make;     // empty: no tag
    std::string model;    // empty: no tag
    std::string software; // the product and its version
    std::string dateTime; // "YYYY:MM:DD HH:MM:SS", host local time; empty: no tag
};

// The texts of image, with metadata where the image has any (null otherwise).
ImageTexts DescribeImage(const J_IMAGE_RECORD &image, const FrameMetadata *metadata);

#endif

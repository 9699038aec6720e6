// The features a simulated camera lets CAMERA_SDK_FEATURES write: Width and Height (integers,
// 1 to 4294967295), PixelFormat (a name as SIMCAM_PIXEL_FORMAT takes it) and
// AcquisitionFrameRate (frames a second, 0.001 to 100000). Each overrides its SIMCAM_ value
// for that camera; any other name is refused, as a camera refuses a feature it lacks.
#ifndef JAI_FACTORY_SIM_FEATURES_H
#define JAI_FACTORY_SIM_FEATURES_H

#include "sim_config.h"

#include <string>

// Writes value to feature in config; returns why it was refused, empty when it was written.
std::string SetSimFeature(const std::string &feature, const std::string &value, SimConfig *config);

#endif

// Writing one feature of a GenICam camera through Aravis's feature tree: integer, float,
// boolean (true, false, 1, 0), enumeration (by entry name) and string features. Aravis checks
// integers and floats against the feature's minimum and maximum while the value is written,
// and an integer that reads back otherwise than written counts as refused.
#ifndef JAI_FACTORY_GENICAM_FEATURES_H
#define JAI_FACTORY_GENICAM_FEATURES_H

#include <arv.h>

#include <string>

// Writes value to feature of device; returns why it was not written, empty when it was.
std::string SetGenicamFeature(ArvDevice *device, const std::string &feature,
                              const std::string &value);

#endif

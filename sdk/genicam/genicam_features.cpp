// Feature writes through Aravis's feature tree, each type parsed as every backend parses it.
#include "genicam_features.h"

#include "setting_grammar.h"

#include <limits>

namespace {

// The message of error, freed; empty when there is no error.
std::string TakeMessage(GError *error)
{
    if (error == nullptr)
        return {};
    const std::string message = error->message;
    g_error_free(error);
    return message;
}

// Why feature cannot be written now, empty when it can.
std::string WriteRefusal(ArvGcFeatureNode *feature)
{
    GError *error = nullptr;
    if (!arv_gc_feature_node_is_implemented(feature, &error))
        return error != nullptr ? TakeMessage(error) : "not implemented by this camera";
    if (!arv_gc_feature_node_is_available(feature, &error))
        return error != nullptr ? TakeMessage(error) : "not available in the camera's state";
    if (arv_gc_feature_node_is_locked(feature, &error))
        return error != nullptr ? TakeMessage(error) : "locked in the camera's state";
    if (arv_gc_feature_node_get_actual_access_mode(feature) == ARV_GC_ACCESS_MODE_RO)
        return "read-only";
    return {};
}

std::string SetInteger(ArvGcInteger *feature, const std::string &value)
{
    int64_t parsed = 0;
    const std::string problem = ParseInteger(value, std::numeric_limits<int64_t>::min(),
                                             std::numeric_limits<int64_t>::max(), &parsed);
    if (!problem.empty())
        return problem;
    GError *error = nullptr;
    arv_gc_integer_set_value(feature, parsed, &error);
    if (error != nullptr)
        return TakeMessage(error);
    const gint64 kept = arv_gc_integer_get_value(feature, &error);
    if (error != nullptr)
        return TakeMessage(error);
    return kept == parsed ? std::string() : "the camera kept " + std::to_string(kept);
}

std::string SetFloat(ArvGcFloat *feature, const std::string &value)
{
    double parsed = 0;
    const std::string problem = ParseNumber(value, std::numeric_limits<double>::lowest(),
                                            std::numeric_limits<double>::max(), &parsed);
    if (!problem.empty())
        return problem;
    GError *error = nullptr;
    arv_gc_float_set_value(feature, parsed, &error);
    return TakeMessage(error);
}

// Enumerations by entry name, booleans and strings, as Aravis reads them from text.
std::string SetFromText(ArvGcFeatureNode *feature, const std::string &value)
{
    GError *error = nullptr;
    arv_gc_feature_node_set_value_from_string(feature, value.c_str(), &error);
    return TakeMessage(error);
}

// Writes value, once feature is known to be writable.
std::string SetValue(ArvGcFeatureNode *feature, const std::string &value)
{
    // An enumeration is an integer too, and is set by its entry's name.
    if (ARV_IS_GC_ENUMERATION(feature) || ARV_IS_GC_BOOLEAN(feature) || ARV_IS_GC_STRING(feature))
        return SetFromText(feature, value);
    if (ARV_IS_GC_INTEGER(feature))
        return SetInteger(ARV_GC_INTEGER(feature), value);
    if (ARV_IS_GC_FLOAT(feature))
        return SetFloat(ARV_GC_FLOAT(feature), value);
    return "not an integer, float, boolean, enumeration or string feature";
}

} // namespace

std::string SetGenicamFeature(ArvDevice *device, const std::string &feature,
                              const std::string &value)
{
    ArvGcNode *node = arv_device_get_feature(device, feature.c_str());
    if (node == nullptr || !ARV_IS_GC_FEATURE_NODE(node))
        return "no such feature";
    ArvGcFeatureNode *featureNode = ARV_GC_FEATURE_NODE(node);
    const std::string refusal = WriteRefusal(featureNode);
    if (!refusal.empty())
        return refusal;
    // Aravis checks a value against the feature's range only when asked to.
    ArvGc *tree = arv_device_get_genicam(device);
    const ArvRangeCheckPolicy previous = arv_gc_get_range_check_policy(tree);
    arv_gc_set_range_check_policy(tree, ARV_RANGE_CHECK_POLICY_ENABLE);
    const std::string problem = SetValue(featureNode, value);
    arv_gc_set_range_check_policy(tree, previous);
    return problem;
}

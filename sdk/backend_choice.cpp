// The choice of the camera backend, made at J_Factory_Open.
#include "backend_choice.h"

#include "camera_settings.h"
#include "configured_backend.h"
#include "genicam_backend.h"
#include "injected_failures.h"
#include "setting_grammar.h"
#include "sim_backend.h"

namespace {

// The backend that CAMERA_SDK_BACKEND names, with its own configuration.
BackendChoice ChooseNamedBackend(const VariableLookup &lookup)
{
    const char *variable = "CAMERA_SDK_BACKEND";
    const std::string given = VariableValue(lookup, variable);
    const std::string name = Trimmed(given);
    if (name == "genicam")
        return ChooseGenicamBackend(variable, given);
    if (!name.empty() && name != "sim")
        return BackendChoice{J_ST_CONFIGURATION, nullptr, 0,
                             ConfigProblem(variable, given, "is not one of sim, genicam")};
    const ParsedSimConfig parsed = ParseSimConfig(lookup);
    if (!parsed.ok)
        return BackendChoice{J_ST_CONFIGURATION, nullptr, 0, parsed.error};
    return BackendChoice{J_ST_SUCCESS, MakeSimBackend(parsed.config), parsed.config.failures, {}};
}

} // namespace

BackendChoice ChooseBackend(const VariableLookup &lookup)
{
    BackendChoice choice = ChooseNamedBackend(lookup);
    if (choice.status != J_ST_SUCCESS)
        return choice;
    CameraSettings settings;
    const std::string error = ParseCameraSettings(lookup, &settings);
    if (!error.empty())
        return BackendChoice{J_ST_CONFIGURATION, nullptr, 0, error};
    choice.backend =
        InjectFailures(ConfigureBackend(std::move(choice.backend), settings), choice.failures);
    choice.saveWaitMs = settings.saveWaitMs;
    return choice;
}

// The GenICam backend's choice in a library built without Aravis: it always fails.
#include "genicam_backend.h"

#include "setting_grammar.h"

BackendChoice ChooseGenicamBackend(const char *variable, const std::string &value)
{
    return BackendChoice{J_ST_NOT_AVAILABLE, nullptr, 0,
                         ConfigProblem(variable, value, "is not built into this library")};
}

// The failures that SIMCAM_FAIL lists (failure_points.h), made around any backend: a listed
// operation returns J_ST_INJECTED_FAILURE in place of its work.
//
// The entry points make their handle and argument checks before they call the backend, so a
// listed failure is reported once those have passed. The listed operations that are no
// backend call with a status (J_Factory_Open, the camera count and ID, the J_Image_ calls
// that take no handle) are asked at the entry points themselves, with Fails (failure_points.h)
// on the factory's failures.
#ifndef JAI_FACTORY_INJECTED_FAILURES_H
#define JAI_FACTORY_INJECTED_FAILURES_H

#include "camera_backend.h"
#include "failure_points.h"

#include <memory>

// Backend, with the camera list update, the opening of a camera and of its stream, the reads
// of Width and Height and the start and stop of acquisition failing as failures lists them.
std::unique_ptr<CameraBackend> InjectFailures(std::unique_ptr<CameraBackend> backend,
                                              FailureSet failures);

#endif

// Setting and removing environment variables of this process, the same way on both systems.
#ifndef CAPTURE_ENVIRONMENT_H
#define CAPTURE_ENVIRONMENT_H

#include <cstdlib>

#ifdef _WIN32

// An empty value removes the variable on Windows.
inline void SetEnvironmentValue(const char *name, const char *value)
{
    _putenv_s(name, value);
}
inline void RemoveEnvironmentValue(const char *name) { _putenv_s(name, ""); }

#else

inline void SetEnvironmentValue(const char *name, const char *value)
{
    setenv(name, value, 1);
}
inline void RemoveEnvironmentValue(const char *name) { unsetenv(name); }

#endif

#endif

// The stopwatch of the command loop.
#include "stopwatch.h"

#include <cstdio>

static uint32_t stopwatchStart = 0;

uint32_t MillisecondsOfFileTime(const FILETIME &fileTime)
{
    const uint64_t intervals =
        (static_cast<uint64_t>(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime;
    const uint64_t intervalsPerMillisecond = 10000;
    return static_cast<uint32_t>(intervals / intervalsPerMillisecond);
}

int32_t ElapsedMilliseconds(uint32_t start, uint32_t now)
{
    return static_cast<int32_t>(now - start);
}

static uint32_t CurrentTimeMilliseconds()
{
    SYSTEMTIME systemTime{};
    GetSystemTime(&systemTime);
    FILETIME fileTime{};
    SystemTimeToFileTime(&systemTime, &fileTime);
    return MillisecondsOfFileTime(fileTime);
}

void StopwatchStart() { stopwatchStart = CurrentTimeMilliseconds(); }

int32_t StopwatchLap()
{
    const int32_t elapsed = ElapsedMilliseconds(stopwatchStart, CurrentTimeMilliseconds());
    std::printf("Tempo decorrido (ms)%d\n", static_cast<int>(elapsed));
    return elapsed;
}

// The stopwatch that times each pass of the command loop, in milliseconds of UTC time.
#ifndef CAPTURE_STOPWATCH_H
#define CAPTURE_STOPWATCH_H

#include "platform.h"

#include <cstdint>

// The low 32 bits of the file time in whole milliseconds.
uint32_t MillisecondsOfFileTime(const FILETIME &fileTime);

// Milliseconds from start to now; correct across the wrap of the 32-bit clock.
int32_t ElapsedMilliseconds(uint32_t start, uint32_t now);

// Main thread. Restarts the stopwatch.
void StopwatchStart();

// Main thread. Prints "Tempo decorrido (ms)" and the time since the start; returns it.
int32_t StopwatchLap();

#endif

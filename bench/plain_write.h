// The plain write that the benchmarks' floors are made of: the bytes written to a new file,
// which is then renamed over the last one, as a program without the library would save.
#ifndef CAPTURE_BENCH_PLAIN_WRITE_H
#define CAPTURE_BENCH_PLAIN_WRITE_H

#include <cstddef>
#include <string>

// Writes size bytes to temporary and renames it to target; false when a step fails.
bool PlainWriteAndRename(const void *bytes, size_t size, const std::string &temporary,
                         const std::string &target);

#endif

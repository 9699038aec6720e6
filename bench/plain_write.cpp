#include "plain_write.h"

#include <cstdio>

bool PlainWriteAndRename(const void *bytes, size_t size, const std::string &temporary,
                         const std::string &target)
{
    std::FILE *file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool written = std::fwrite(bytes, 1, size, file) == size;
    const bool closed = std::fclose(file) == 0;
    return written && closed && std::rename(temporary.c_str(), target.c_str()) == 0;
}

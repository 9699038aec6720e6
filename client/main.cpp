// Process entry of capture-client.
#include "client_tool.h"

#include <cstdio>

int main(int argc, char **argv)
{
    // Each line shows as it is printed, also in a pipe, so that a script can follow the run.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    return RunClientTool(argc - 1, argv + 1);
}

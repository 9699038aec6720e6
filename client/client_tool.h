// capture-client: sends the commands of its command line and prints replies and times.
#ifndef CAPTURE_CLIENT_CLIENT_TOOL_H
#define CAPTURE_CLIENT_CLIENT_TOOL_H

// Runs the tool on the arguments after the program name. Replies and summaries go to
// standard output, failures to standard error. Returns the exit status: 0 when every reply
// was the expected one, 1 after any other outcome, 2 on a usage error.
int RunClientTool(int argc, const char *const *argv);

#endif

// The protocol between the capture server and its clients: where the server listens, the
// command words, the replies, and how the server reads what a client sends.
#ifndef CAPTURE_PROTOCOL_H
#define CAPTURE_PROTOCOL_H

#include <cstdint>

// The server listens on this address only, so that only programs on the same machine reach it.
constexpr char kServerAddress[] = "127.0.0.1";
constexpr uint16_t kServerPort = 55555;

// The command words, case-sensitive. The server matches the first bytes of one receive
// against them in this order.
constexpr char kGet1Command[] = "Get1";
constexpr char kGet2Command[] = "Get2";
constexpr char kEndCommand[] = "End";

// The replies, sent without their terminating zero: Done or Fail to a capture, Terminated to End.
constexpr char kDoneReply[] = "Done\n";
constexpr char kFailReply[] = "Fail\n";
constexpr char kTerminatedReply[] = "Terminated\n";

// The server takes at most this many bytes in one receive and matches each receive as one
// command, into a buffer with room for a terminator after them.
constexpr int kReceiveSize = 32;
constexpr int kCommandBufferSize = 200;
static_assert(kReceiveSize < kCommandBufferSize, "a receive leaves room for a terminator");

#endif

// A stand-in for the capture server on an ephemeral port of 127.0.0.1: it answers each
// receive as the test scripts it and records what it received.
#ifndef CAPTURE_TESTS_FAKE_SERVER_H
#define CAPTURE_TESTS_FAKE_SERVER_H

#include "platform.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// What the server does with one receive: sends pieces in turn with pauseMs before each,
// then closes the connection when close is set. No pieces: no reply at all.
struct Answer {
    std::vector<std::string> pieces;
    int pauseMs = 0;
    bool close = false;
};

class FakeServer {
  public:
    explicit FakeServer(std::function<Answer(const std::string &received)> answer);
    ~FakeServer();
    FakeServer(const FakeServer &) = delete;
    FakeServer &operator=(const FakeServer &) = delete;

    uint16_t Port() const { return port_; }
    // Each receive's bytes, in order.
    std::vector<std::string> Received();
    // True when bytes of a later command arrived before the answer to an earlier one.
    bool SentBeforeReply() const { return sentBeforeReply_; }
    int Connections() const { return connections_; }

  private:
    void Serve();
    void ServeClient(SOCKET client);
    bool WaitReadable(SOCKET socket, int timeoutMs);

    std::function<Answer(const std::string &)> answer_;
    SOCKET listener_ = INVALID_SOCKET;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> sentBeforeReply_{false};
    std::atomic<int> connections_{0};
    std::mutex mutex_;
    std::vector<std::string> received_;
    std::thread thread_;
};

// A socket bound to a free port of 127.0.0.1, and that port; INVALID_SOCKET on failure.
SOCKET BindEphemeralLoopback(uint16_t *port);

// A port of 127.0.0.1 that nothing listens on: connecting to it is refused.
uint16_t UnusedPort();

// Answers of the real server: "Done\n" to Get1 and Get2, "Terminated\n" to End.
Answer LikeTheServer(const std::string &received);

#endif

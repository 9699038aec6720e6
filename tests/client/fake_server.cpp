// The fake capture server of the client tests.
#include "fake_server.h"

#include <chrono>

namespace {

const int kPollMs = 20;

SOCKET ListenOnEphemeralPort(uint16_t *port)
{
    const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = 0;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    socklen_t length = sizeof address;
    if (listener == INVALID_SOCKET ||
        bind(listener, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
        listen(listener, 4) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return INVALID_SOCKET;
    *port = ntohs(address.sin_port);
    return listener;
}

} // namespace

FakeServer::FakeServer(std::function<Answer(const std::string &received)> answer)
    : answer_(std::move(answer))
{
    WSADATA data{};
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = ListenOnEphemeralPort(&port_);
    thread_ = std::thread(&FakeServer::Serve, this);
}

FakeServer::~FakeServer()
{
    stopping_ = true;
    thread_.join();
    closesocket(listener_);
    WSACleanup();
}

std::vector<std::string> FakeServer::Received()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

bool FakeServer::WaitReadable(SOCKET socket, int timeoutMs)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    timeval wait{};
    wait.tv_sec = timeoutMs / 1000;
    wait.tv_usec = (timeoutMs % 1000) * 1000;
    return select(static_cast<int>(socket) + 1, &readable, nullptr, nullptr, &wait) > 0;
}

void FakeServer::Serve()
{
    while (!stopping_ && listener_ != INVALID_SOCKET) {
        if (!WaitReadable(listener_, kPollMs))
            continue;
        const SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET)
            continue;
        ++connections_;
        ServeClient(client);
        closesocket(client);
    }
}

void FakeServer::ServeClient(SOCKET client)
{
    char buffer[64];
    while (!stopping_) {
        if (!WaitReadable(client, kPollMs))
            continue;
        const int count = static_cast<int>(recv(client, buffer, sizeof buffer, 0));
        if (count <= 0)
            return;
        const std::string received(buffer, static_cast<size_t>(count));
        {
            std::lock_guard<std::mutex> lock(mutex_);
            received_.push_back(received);
        }
        const Answer answer = answer_(received);
        for (const std::string &piece : answer.pieces) {
            std::this_thread::sleep_for(std::chrono::milliseconds(answer.pauseMs));
            if (WaitReadable(client, 0))
                sentBeforeReply_ = true;
            send(client, piece.data(), static_cast<int>(piece.size()), 0);
        }
        if (answer.close)
            return;
    }
}

SOCKET BindEphemeralLoopback(uint16_t *port)
{
    const SOCKET bound = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    socklen_t length = sizeof address;
    if (bound == INVALID_SOCKET ||
        bind(bound, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
        getsockname(bound, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        closesocket(bound);
        return INVALID_SOCKET;
    }
    *port = ntohs(address.sin_port);
    return bound;
}

uint16_t UnusedPort()
{
    WSADATA data{};
    WSAStartup(MAKEWORD(2, 2), &data);
    uint16_t port = 0;
    closesocket(BindEphemeralLoopback(&port));
    WSACleanup();
    return port;
}

Answer LikeTheServer(const std::string &received)
{
    if (received == "Get1" || received == "Get2")
        return Answer{{"Done\n"}, 0, false};
    if (received == "End")
        return Answer{{"Terminated\n"}, 0, true};
    return Answer{};
}

// The command loop driven through its ports: scripted receives, recorded replies and captures.
#include "command_loop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// One scripted receive: bytes, or a close (empty) or an error (negative error number).
struct Receive {
    std::string bytes;
    int error = 0;
};

struct FakeWorld {
    std::vector<Receive> receives;
    size_t nextReceive = 0;
    int lastError = 0;
    std::string sent;
    std::vector<Slot> captures;
    CaptureOutcome outcome = CaptureOutcome::Saved;
    int cameraCloses = 0;
};

FakeWorld &World(void *context) { return *static_cast<FakeWorld *>(context); }

int FakeReceive(void *context, char *buffer, int size)
{
    FakeWorld &world = World(context);
    if (world.nextReceive == world.receives.size())
        return 0;
    const Receive next = world.receives[world.nextReceive++];
    if (next.error != 0) {
        world.lastError = next.error;
        return -1;
    }
    const int count = std::min(size, static_cast<int>(next.bytes.size()));
    std::memcpy(buffer, next.bytes.data(), count);
    if (count < static_cast<int>(next.bytes.size()))
        world.receives.insert(world.receives.begin() + world.nextReceive,
                              Receive{next.bytes.substr(count)});
    return count;
}

int FakeReceiveError(void *context) { return World(context).lastError; }

void FakeSend(void *context, const char *bytes, int size) { World(context).sent.append(bytes, size); }

CaptureOutcome FakeCapture(void *context, Slot slot)
{
    World(context).captures.push_back(slot);
    return World(context).outcome;
}

void FakeCloseCamera(void *context) { World(context).cameraCloses++; }

struct LoopRun {
    int status;
    std::string console;
};

LoopRun RunLoop(FakeWorld &world)
{
    const CommandLoopPorts ports{&world,   FakeReceive,  FakeReceiveError,
                                 FakeSend, FakeCapture, FakeCloseCamera};
    testing::internal::CaptureStdout();
    const int status = RunCommandLoop(ports);
    return {status, testing::internal::GetCapturedStdout()};
}

} // namespace

TEST(CommandLoop, CapturesAnswerAndLabelTheirSlot)
{
    FakeWorld world;
    world.receives = {{"Get1"}, {"Get2"}, {"End"}};
    const LoopRun run = RunLoop(world);
    EXPECT_EQ(run.status, EXIT_SUCCESS);
    EXPECT_EQ(world.captures, (std::vector<Slot>{Slot::One, Slot::Two}));
    EXPECT_EQ(world.sent, "Done\nDone\nTerminated\n");
    EXPECT_EQ(run.console, "imgSeq1:1\nimgSeq2:0\n\tRecived end command\n");
    EXPECT_EQ(world.cameraCloses, 1);
}

TEST(CommandLoop, FailedSaveAnswersFail)
{
    FakeWorld world;
    world.receives = {{"Get2"}};
    world.outcome = CaptureOutcome::SaveFailed;
    const LoopRun run = RunLoop(world);
    EXPECT_EQ(world.sent, "Fail\n");
    EXPECT_EQ(run.console, "imgSeq2:0\n\tClient disconnected\n");
}

TEST(CommandLoop, UndefinedCommandsGetNoReply)
{
    FakeWorld world;
    world.receives = {{"get1"}, {"Hello"}, {"Get1"}};
    const LoopRun run = RunLoop(world);
    EXPECT_EQ(world.sent, "Done\n");
    EXPECT_EQ(run.console, "\tRecived undifined command\n\tRecived undifined command\n"
                           "imgSeq1:1\n\tClient disconnected\n");
}

// A receive that brings fewer bytes than the last must not repeat the last command.
TEST(CommandLoop, StaleBytesAreNeverActedOnAgain)
{
    FakeWorld world;
    world.receives = {{"Get1"}, {"G"}, {"Ge"}, {"Get"}};
    const LoopRun run = RunLoop(world);
    EXPECT_EQ(world.captures.size(), 1u);
    EXPECT_EQ(world.sent, "Done\n");
}

TEST(CommandLoop, LongMessageIsReadAsSeveralCommands)
{
    FakeWorld world;
    world.receives = {{std::string(32, 'x') + "Get2tail"}};
    const LoopRun run = RunLoop(world);
    EXPECT_EQ(world.captures, (std::vector<Slot>{Slot::Two}));
    EXPECT_EQ(run.console, "\tRecived undifined command\nimgSeq2:0\n\tClient disconnected\n");
}

TEST(CommandLoop, EndStopsReadingAndClosesTheCameraOnce)
{
    FakeWorld world;
    world.receives = {{"Ending"}, {"Get1"}};
    const LoopRun run = RunLoop(world);
    EXPECT_EQ(run.status, EXIT_SUCCESS);
    EXPECT_EQ(world.nextReceive, 1u);
    EXPECT_TRUE(world.captures.empty());
    EXPECT_EQ(world.cameraCloses, 1);
}

TEST(CommandLoop, ClientCloseEndsWithSuccess)
{
    FakeWorld world;
    world.receives = {{"Get1"}};
    const LoopRun run = RunLoop(world);
    EXPECT_EQ(run.status, EXIT_SUCCESS);
    EXPECT_EQ(world.cameraCloses, 1);
    EXPECT_EQ(run.console, "imgSeq1:1\n\tClient disconnected\n");
}

TEST(CommandLoop, ReceiveErrorEndsWithFailure)
{
    FakeWorld world;
    world.receives = {{"Get1"}, {"", 104}, {"Get1"}};
    const LoopRun run = RunLoop(world);
    EXPECT_EQ(run.status, EXIT_FAILURE);
    EXPECT_EQ(world.captures.size(), 1u);
    EXPECT_EQ(world.cameraCloses, 1);
    EXPECT_EQ(run.console, "imgSeq1:1\n\trecv() failed: 104.\n");
}

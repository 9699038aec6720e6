// capture-client's command line, output and exit statuses, against a fake server.
#include "client_options.h"
#include "client_tool.h"
#include "fake_server.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

namespace {

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

ToolRun RunTool(std::vector<std::string> arguments)
{
    std::vector<const char *> argv;
    for (const std::string &argument : arguments)
        argv.push_back(argument.c_str());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status = RunClientTool(static_cast<int>(argv.size()), argv.data());
    const std::string out = testing::internal::GetCapturedStdout();
    return {status, out, testing::internal::GetCapturedStderr()};
}

ToolRun RunAgainst(const FakeServer &server, std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(),
                     {"--port", std::to_string(server.Port()), "--timeout", "0.5"});
    return RunTool(arguments);
}

std::string ParseError(std::vector<const char *> argv)
{
    const ParsedOptions parsed = ParseClientOptions(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(parsed.outcome, ParseOutcome::UsageError);
    return parsed.error;
}

} // namespace

TEST(ClientOptions, CommandsRepeatTimeoutAndPortAreRead)
{
    const std::vector<const char *> argv = {"--repeat", "3",    "Get1", "--timeout", "0.25",
                                            "Get2",     "--port", "4000", "End"};
    const ParsedOptions parsed = ParseClientOptions(static_cast<int>(argv.size()), argv.data());
    ASSERT_EQ(parsed.outcome, ParseOutcome::Run);
    EXPECT_EQ(parsed.options.commands,
              (std::vector<ClientCommand>{ClientCommand::Get1, ClientCommand::Get2}));
    EXPECT_TRUE(parsed.options.endAfterRepeats);
    EXPECT_EQ(parsed.options.repeat, 3);
    EXPECT_TRUE(parsed.options.summarize);
    EXPECT_EQ(parsed.options.timeoutMs, 250);
    EXPECT_EQ(parsed.options.port, 4000);
}

TEST(ClientOptions, MalformedArgumentsAreUsageErrors)
{
    EXPECT_NE(ParseError({"get1"}).find("unknown command \"get1\""), std::string::npos);
    EXPECT_NE(ParseError({"End", "Get1"}).find("End must be the last"), std::string::npos);
    EXPECT_NE(ParseError({}).find("no command"), std::string::npos);
    EXPECT_NE(ParseError({"Get1", "--repeat"}).find("needs a value"), std::string::npos);
    for (const char *repeat : {"0", "-1", "1e3", "5x", "", "1000001"})
        EXPECT_NE(ParseError({"--repeat", repeat, "Get1"}).find("--repeat"), std::string::npos);
    for (const char *timeout : {"0", "-1", "abc", "nan", "inf", "86401", "1s"})
        EXPECT_NE(ParseError({"--timeout", timeout, "Get1"}).find("--timeout"),
                  std::string::npos);
    for (const char *port : {"0", "65536", "+80", " 80"})
        EXPECT_NE(ParseError({"--port", port, "Get1"}).find("--port"), std::string::npos);
    EXPECT_NE(ParseError({"--verbose", "Get1"}).find("unknown option"), std::string::npos);
}

TEST(ClientTool, ExpectedRepliesPrintTheirTimesAndExitZero)
{
    FakeServer server([](const std::string &received) {
        Answer answer = LikeTheServer(received);
        answer.pauseMs = 50; // room for a too-early next command to show
        return answer;
    });
    const ToolRun run = RunAgainst(server, {"Get1", "Get2", "End"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(std::regex_match(run.out, std::regex("Get1: Done \\([0-9]+\\.[0-9]{2} ms\\)\n"
                                                     "Get2: Done \\([0-9.]+ ms\\)\n"
                                                     "End: Terminated \\([0-9.]+ ms\\)\n")))
        << run.out;
    EXPECT_EQ(server.Received(), (std::vector<std::string>{"Get1", "Get2", "End"}));
    EXPECT_FALSE(server.SentBeforeReply());
}

TEST(ClientTool, RepeatSendsTheListOverThenEndOnceAndSummarizes)
{
    FakeServer server(LikeTheServer);
    const ToolRun run = RunAgainst(server, {"--repeat", "3", "Get1", "Get2", "End"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(server.Received(), (std::vector<std::string>{"Get1", "Get2", "Get1", "Get2",
                                                           "Get1", "Get2", "End"}));
    EXPECT_NE(run.out.find("Get1: count 3, min "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Get2: count 3, min "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(" median "), std::string::npos);
    EXPECT_NE(run.out.find(" p95 "), std::string::npos);
    EXPECT_EQ(run.out.find("End: count"), std::string::npos) << "End runs once: no summary";
}

TEST(ClientTool, AFailReplyExitsOneAndSendsNothingMore)
{
    FakeServer server([](const std::string &) { return Answer{{"Fail\n"}}; });
    const ToolRun run = RunAgainst(server, {"Get2", "Get1"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("Get2: Fail ("), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("could not save 0002.tiff"), std::string::npos) << run.err;
    EXPECT_EQ(server.Received(), std::vector<std::string>{"Get2"});
}

TEST(ClientTool, EveryOtherOutcomeExitsOneWithItsReason)
{
    FakeServer silent([](const std::string &) { return Answer{}; });
    const ToolRun timedOut = RunAgainst(silent, {"Get1"});
    EXPECT_EQ(timedOut.status, 1);
    EXPECT_NE(timedOut.err.find("no reply to Get1 within 0.5 s"), std::string::npos)
        << timedOut.err;

    FakeServer closing([](const std::string &) { return Answer{{}, 0, true}; });
    const ToolRun closed = RunAgainst(closing, {"Get1"});
    EXPECT_EQ(closed.status, 1);
    EXPECT_NE(closed.err.find("closed the connection"), std::string::npos) << closed.err;

    FakeServer garbled([](const std::string &) { return Answer{{"Dome\n"}}; });
    const ToolRun unexpected = RunAgainst(garbled, {"Get1"});
    EXPECT_EQ(unexpected.status, 1);
    EXPECT_NE(unexpected.err.find("unexpected reply to Get1: \"Dome\\n\""), std::string::npos)
        << unexpected.err;

    const ToolRun refused = RunTool({"--port", std::to_string(UnusedPort()), "Get1"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("connection refused"), std::string::npos) << refused.err;
    EXPECT_EQ(refused.out, "");
}

TEST(ClientTool, UsageErrorsExitTwoBeforeConnecting)
{
    FakeServer server(LikeTheServer);
    const ToolRun run = RunAgainst(server, {"Get1", "get2"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("unknown command \"get2\""), std::string::npos) << run.err;
    EXPECT_EQ(server.Connections(), 0);

    const ToolRun help = RunTool({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Any other word is refused"), std::string::npos);
}

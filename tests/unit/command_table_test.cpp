// Matching of received messages against the command words.
#include "command_table.h"

#include <gtest/gtest.h>

#include <cstring>

static Command Match(const char *message) { return MatchCommand(message, std::strlen(message)); }

TEST(MatchCommand, WordsAndPrefixesCount)
{
    EXPECT_EQ(Match("Get1"), Command::Get1);
    EXPECT_EQ(Match("Get2"), Command::Get2);
    EXPECT_EQ(Match("End"), Command::End);
    EXPECT_EQ(Match("Get1\r\n"), Command::Get1);
    EXPECT_EQ(Match("Get2 and more text"), Command::Get2);
    EXPECT_EQ(Match("Ending"), Command::End);
    EXPECT_EQ(Match("Get1Get2"), Command::Get1);
}

TEST(MatchCommand, AnythingElseIsUndefined)
{
    EXPECT_EQ(Match("get1"), Command::Undefined);
    EXPECT_EQ(Match("GET2"), Command::Undefined);
    EXPECT_EQ(Match("end"), Command::Undefined);
    EXPECT_EQ(Match("Get3"), Command::Undefined);
    EXPECT_EQ(Match(" Get1"), Command::Undefined);
    EXPECT_EQ(Match(""), Command::Undefined);
    EXPECT_EQ(MatchCommand("\0Get1", 5), Command::Undefined);
}

// A short receive must not be completed by bytes that an earlier receive left behind.
TEST(MatchCommand, OnlyTheReceivedBytesCount)
{
    char buffer[200] = "Get1";
    buffer[0] = 'G';
    EXPECT_EQ(MatchCommand(buffer, 1), Command::Undefined);
    EXPECT_EQ(MatchCommand(buffer, 3), Command::Undefined);
    EXPECT_EQ(MatchCommand(buffer, 4), Command::Get1);
    std::memcpy(buffer, "End", 3);
    EXPECT_EQ(MatchCommand(buffer, 2), Command::Undefined);
    EXPECT_EQ(MatchCommand(buffer, 0), Command::Undefined);
    EXPECT_EQ(MatchCommand(buffer, -1), Command::Undefined);
}

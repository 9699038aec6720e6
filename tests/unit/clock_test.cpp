// The file-time clock of the platform layer and the stopwatch arithmetic on top of it.
#include "platform.h"
#include "stopwatch.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>

static uint64_t FileTimeOf(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second,
                           WORD milliseconds)
{
    SYSTEMTIME systemTime{};
    systemTime.wYear = year;
    systemTime.wMonth = month;
    systemTime.wDay = day;
    systemTime.wHour = hour;
    systemTime.wMinute = minute;
    systemTime.wSecond = second;
    systemTime.wMilliseconds = milliseconds;
    FILETIME fileTime{};
    EXPECT_TRUE(SystemTimeToFileTime(&systemTime, &fileTime));
    return (static_cast<uint64_t>(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime;
}

TEST(FileTime, CountsHundredNanosecondsSince1601)
{
    EXPECT_EQ(FileTimeOf(1601, 1, 1, 0, 0, 0, 0), 0u);
    EXPECT_EQ(FileTimeOf(1601, 1, 2, 0, 0, 0, 1), 864000000000u + 10000u);
    EXPECT_EQ(FileTimeOf(1970, 1, 1, 0, 0, 0, 0), 116444736000000000u);
    // Leap days: 2000 is a leap year, 1900 and 2100 are not.
    EXPECT_EQ(FileTimeOf(2000, 3, 1, 0, 0, 0, 0) - FileTimeOf(2000, 2, 28, 0, 0, 0, 0),
              2u * 864000000000u);
    EXPECT_EQ(FileTimeOf(1900, 3, 1, 0, 0, 0, 0) - FileTimeOf(1900, 2, 28, 0, 0, 0, 0),
              864000000000u);
    EXPECT_EQ(FileTimeOf(2100, 3, 1, 0, 0, 0, 0) - FileTimeOf(2100, 2, 28, 0, 0, 0, 0),
              864000000000u);
    EXPECT_EQ(FileTimeOf(2026, 12, 8, 23, 59, 59, 999) + 10000u,
              FileTimeOf(2026, 12, 9, 0, 0, 0, 0));
}

TEST(FileTime, RefusesInvalidDates)
{
    SYSTEMTIME systemTime{};
    systemTime.wYear = 2026;
    systemTime.wMonth = 13;
    systemTime.wDay = 1;
    FILETIME fileTime{};
    EXPECT_FALSE(SystemTimeToFileTime(&systemTime, &fileTime));
}

TEST(FileTime, SystemTimeIsUtcNow)
{
    SYSTEMTIME systemTime{};
    GetSystemTime(&systemTime);
    FILETIME fileTime{};
    ASSERT_TRUE(SystemTimeToFileTime(&systemTime, &fileTime));
    const uint64_t intervals =
        (static_cast<uint64_t>(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime;
    const int64_t unixSeconds = static_cast<int64_t>(intervals / 10000000u) - 11644473600;
    EXPECT_NEAR(static_cast<double>(unixSeconds), static_cast<double>(std::time(nullptr)), 2.0);
}

TEST(Stopwatch, KeepsTheLow32BitsOfWholeMilliseconds)
{
    const uint64_t intervals = 116444736000000000u + 12345678u; // 1970 plus 1.2345678 s
    const FILETIME fileTime{static_cast<DWORD>(intervals), static_cast<DWORD>(intervals >> 32)};
    EXPECT_EQ(MillisecondsOfFileTime(fileTime),
              static_cast<uint32_t>((116444736000000000u / 10000u + 1234u) & 0xffffffffu));
}

TEST(Stopwatch, ElapsedTimeSurvivesTheWrap)
{
    EXPECT_EQ(ElapsedMilliseconds(1000, 1250), 250);
    EXPECT_EQ(ElapsedMilliseconds(0xfffffff0u, 0x10u), 32);
    EXPECT_EQ(ElapsedMilliseconds(500, 500), 0);
}

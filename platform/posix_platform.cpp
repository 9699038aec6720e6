// POSIX stand-ins for the Windows calls declared in platform.h.
#ifndef _WIN32

#include "platform.h"

#include <fcntl.h>
#include <sched.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>

int WSAStartup(WORD versionRequested, WSADATA *data)
{
    (void)versionRequested;
    std::signal(SIGPIPE, SIG_IGN);
    data->wVersion = MAKEWORD(2, 2);
    data->wHighVersion = MAKEWORD(2, 2);
    std::snprintf(data->szDescription, sizeof data->szDescription, "POSIX sockets");
    std::snprintf(data->szSystemStatus, sizeof data->szSystemStatus, "Running");
    return 0;
}

int WSACleanup() { return 0; }

int WSAGetLastError() { return errno; }

int closesocket(SOCKET socket) { return close(socket); }

int ioctlsocket(SOCKET socket, long command, unsigned long *argument)
{
    if (command != static_cast<long>(FIONBIO)) {
        errno = EINVAL;
        return SOCKET_ERROR;
    }
    const int flags = fcntl(socket, F_GETFL);
    if (flags < 0)
        return SOCKET_ERROR;
    const int wanted = *argument != 0 ? flags | O_NONBLOCK : flags & ~O_NONBLOCK;
    return fcntl(socket, F_SETFL, wanted) < 0 ? SOCKET_ERROR : 0;
}

void AllowQuickRebind(SOCKET socket)
{
    int enable = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &enable, sizeof enable);
}

BOOL PeekMessageW(MSG *, HWND, UINT, UINT, UINT)
{
    sched_yield();
    return 0;
}

BOOL TranslateMessage(const MSG *) { return 0; }

LRESULT DispatchMessageW(const MSG *) { return 0; }

void GetSystemTime(SYSTEMTIME *systemTime)
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm utc{};
    gmtime_r(&now.tv_sec, &utc);
    systemTime->wYear = static_cast<WORD>(utc.tm_year + 1900);
    systemTime->wMonth = static_cast<WORD>(utc.tm_mon + 1);
    systemTime->wDayOfWeek = static_cast<WORD>(utc.tm_wday);
    systemTime->wDay = static_cast<WORD>(utc.tm_mday);
    systemTime->wHour = static_cast<WORD>(utc.tm_hour);
    systemTime->wMinute = static_cast<WORD>(utc.tm_min);
    systemTime->wSecond = static_cast<WORD>(utc.tm_sec);
    systemTime->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}

// Days from 1 March of year 0 to the given date of the proleptic Gregorian calendar.
static int64_t DaysSinceMarchOfYearZero(int64_t year, int64_t month, int64_t day)
{
    // Count from March so that the leap day ends the year.
    if (month <= 2) {
        year -= 1;
        month += 12;
    }
    const int64_t leapDays = year / 4 - year / 100 + year / 400;
    const int64_t daysBeforeMonth = (153 * (month - 3) + 2) / 5;
    return 365 * year + leapDays + daysBeforeMonth + day - 1;
}

static int64_t DaysSince1601(int64_t year, int64_t month, int64_t day)
{
    return DaysSinceMarchOfYearZero(year, month, day) - DaysSinceMarchOfYearZero(1601, 1, 1);
}

BOOL SystemTimeToFileTime(const SYSTEMTIME *systemTime, FILETIME *fileTime)
{
    const bool valid =
        systemTime->wYear >= 1601 && systemTime->wMonth >= 1 && systemTime->wMonth <= 12 &&
        systemTime->wDay >= 1 && systemTime->wDay <= 31 && systemTime->wHour < 24 &&
        systemTime->wMinute < 60 && systemTime->wSecond < 60 && systemTime->wMilliseconds < 1000;
    if (!valid)
        return 0;
    const int64_t days = DaysSince1601(systemTime->wYear, systemTime->wMonth, systemTime->wDay);
    const int64_t seconds =
        days * 86400 + systemTime->wHour * 3600 + systemTime->wMinute * 60 + systemTime->wSecond;
    const uint64_t intervals = static_cast<uint64_t>(seconds) * 10000000u +
                               static_cast<uint64_t>(systemTime->wMilliseconds) * 10000u;
    fileTime->dwLowDateTime = static_cast<DWORD>(intervals);
    fileTime->dwHighDateTime = static_cast<DWORD>(intervals >> 32);
    return 1;
}

void Sleep(DWORD milliseconds)
{
    timespec remaining{static_cast<time_t>(milliseconds / 1000),
                       static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

void SystemPause()
{
    std::fputs("Press any key to continue . . . ", stdout);
    std::fflush(stdout);
    termios saved{};
    const bool terminal = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios oneKey = saved;
        oneKey.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        oneKey.c_cc[VMIN] = 1;
        oneKey.c_cc[VTIME] = 0;
        tcsetattr(STDIN_FILENO, TCSANOW, &oneKey);
    }
    char key = 0;
    while (read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
    }
    if (terminal)
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    std::fputs("\n", stdout);
}

#endif

// The Windows calls the program makes: the real headers on Windows, our stand-ins elsewhere.
//
// Where the POSIX stand-ins differ from Windows:
// - WSAGetLastError returns errno, so error numbers are the system's (EADDRINUSE is 98 on
//   Linux where Windows gives WSAEADDRINUSE, 10048).
// - WSAStartup also ignores SIGPIPE, so that a send on a closed connection fails as it does
//   on Windows instead of ending the process.
// - PeekMessageW never finds a message: there is no message queue. It yields the processor.
// - SystemPause prints "Press any key to continue . . . " and waits for one byte on standard
//   input (one key on a terminal); at the end of input it returns at once.
// - ioctlsocket knows only FIONBIO, the switch between blocking and non-blocking mode.
// - A non-blocking connect that goes on in the background fails with WSAEWOULDBLOCK on
//   Windows and EINPROGRESS on POSIX: here WSAEWOULDBLOCK names EINPROGRESS.
// AllowQuickRebind is the one call that Windows lacks: Windows binds a port whose earlier
// connections still linger in TIME_WAIT, POSIX needs SO_REUSEADDR for that. It still refuses
// a port that another socket listens on.
#ifndef CAPTURE_PLATFORM_H
#define CAPTURE_PLATFORM_H

#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdlib>

inline void AllowQuickRebind(SOCKET) {}
inline void SystemPause() { std::system("pause"); }

#else

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/select.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdint>

typedef int SOCKET;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int BOOL;
typedef unsigned int UINT;
typedef void *HWND;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;

#define INVALID_SOCKET (-1)
#define SOCKET_ERROR (-1)
#define MAKEWORD(low, high) ((WORD)(((BYTE)(low)) | ((WORD)((BYTE)(high))) << 8))
#define LOBYTE(w) ((BYTE)((w)&0xff))
#define HIBYTE(w) ((BYTE)(((w) >> 8) & 0xff))
#define PM_REMOVE 0x0001u

#define WSAEINTR EINTR
#define WSAECONNABORTED ECONNABORTED
#define WSAECONNRESET ECONNRESET
#define WSAEADDRINUSE EADDRINUSE
#define WSAECONNREFUSED ECONNREFUSED
#define WSAEWOULDBLOCK EINPROGRESS

#define WSADESCRIPTION_LEN 256
#define WSASYS_STATUS_LEN 128

struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
};

struct POINT {
    long x;
    long y;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

int WSAStartup(WORD versionRequested, WSADATA *data);
int WSACleanup();
int WSAGetLastError();
int closesocket(SOCKET socket);
int ioctlsocket(SOCKET socket, long command, unsigned long *argument);

BOOL PeekMessageW(MSG *message, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage);
BOOL TranslateMessage(const MSG *message);
LRESULT DispatchMessageW(const MSG *message);

void GetSystemTime(SYSTEMTIME *systemTime);
BOOL SystemTimeToFileTime(const SYSTEMTIME *systemTime, FILETIME *fileTime);
void Sleep(DWORD milliseconds);

void AllowQuickRebind(SOCKET socket);
void SystemPause();

#endif

#endif

/* A Windows program that reads an image file as many programs do, through the C library's
 * fopen: while it holds the file open, Windows refuses to replace it. Both modes end when
 * standard input ends.
 *   held_file_reader loop FILE HOLD_MS  opens, reads all, holds HOLD_MS, closes, again
 *                                       (prints "reading" after the first); at the end
 *                                       prints "opens <n> failed <n> bytes <min>..<max>"
 *   held_file_reader hold FILE          opens, prints "open", holds; then closes, prints
 *                                       "closed"
 */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static volatile LONG inputEnded = 0;

static DWORD WINAPI WaitForEndOfInput(LPVOID unused)
{
    (void)unused;
    while (getchar() != EOF) {
    }
    InterlockedExchange(&inputEnded, 1);
    return 0;
}

static int Loop(const char *file, DWORD holdMs)
{
    static char buffer[1 << 16];
    unsigned long opens = 0, failed = 0;
    size_t fewest = (size_t)-1, most = 0;
    HANDLE waiter = CreateThread(NULL, 0, WaitForEndOfInput, NULL, 0, NULL);
    if (waiter == NULL)
        return 2;
    while (!InterlockedCompareExchange(&inputEnded, 0, 0)) {
        FILE *image = fopen(file, "rb");
        if (image == NULL) {
            ++failed;
            Sleep(1);
            continue;
        }
        size_t bytes = 0, got;
        while ((got = fread(buffer, 1, sizeof buffer, image)) > 0)
            bytes += got;
        Sleep(holdMs);
        fclose(image);
        if (++opens == 1)
            printf("reading\n");
        fewest = bytes < fewest ? bytes : fewest;
        most = bytes > most ? bytes : most;
    }
    WaitForSingleObject(waiter, INFINITE);
    printf("opens %lu failed %lu bytes %lu..%lu\n", opens, failed,
           (unsigned long)(opens ? fewest : 0), (unsigned long)most);
    return 0;
}

static int Hold(const char *file)
{
    FILE *image = fopen(file, "rb");
    if (image == NULL) {
        printf("cannot open %s\n", file);
        return 1;
    }
    printf("open\n");
    fflush(stdout);
    while (getchar() != EOF) {
    }
    fclose(image);
    printf("closed\n");
    return 0;
}

int main(int argc, char **argv)
{
    setvbuf(stdout, NULL, _IONBF, 0);
    if (argc == 4 && strcmp(argv[1], "loop") == 0)
        return Loop(argv[2], (DWORD)strtoul(argv[3], NULL, 10));
    if (argc == 3 && strcmp(argv[1], "hold") == 0)
        return Hold(argv[2]);
    fprintf(stderr, "usage: held_file_reader loop FILE HOLD_MS | hold FILE\n");
    return 2;
}

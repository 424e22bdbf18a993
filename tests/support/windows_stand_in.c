/* A Windows build of a source port, for the launch tests that start one through Wine (built
 * with the mingw-w64 cross compiler, never installed). It behaves as the native stand-in
 * (StandInPort.cpp) does, seen from Windows: started as <path>, it reads "<path>.conf"
 * (lines "exit=<code>" and "sleep_ms=<milliseconds>"), writes "<path>.report" at once (JSON:
 * its argument list and its whole command line as Windows gave them, its working folder, the
 * contents of "netlist.txt" and "kesh.txt" there or null when missing, and under "files" the
 * contents of every argument that names a file it can open and read), then sleeps, writes
 * "<path>.done" and exits with the code. Small files only: anything past 64 KiB is cut. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

static char report[1 << 20];
static size_t used;

static void put(const char* bytes, size_t count)
{
    if (used + count < sizeof report) {
        memcpy(report + used, bytes, count);
        used += count;
    }
}

static void putJson(const char* bytes, size_t count)
{
    put("\"", 1);
    for (size_t i = 0; i < count; ++i) {
        char escaped[8];
        const unsigned char c = (unsigned char)bytes[i];
        if (c < 0x20)
            put(escaped, (size_t)snprintf(escaped, sizeof escaped, "\\u%04x", c));
        else if (c == '"' || c == '\\')
            put(escaped, (size_t)snprintf(escaped, sizeof escaped, "\\%c", c));
        else
            put(bytes + i, 1);
    }
    put("\"", 1);
}

static void putWide(const wchar_t* wide)
{
    static char utf8[65536];
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, NULL, NULL);
    putJson(utf8, size > 0 ? (size_t)size - 1 : 0);
}

/* The file's bytes (at most 64 KiB) into `into`; -1 when it cannot be opened or read. */
static long readFile(const wchar_t* path, char* into)
{
    FILE* in = _wfopen(path, L"rb");
    if (!in)
        return -1;
    const size_t n = fread(into, 1, 65536, in);
    const int failed = ferror(in);
    fclose(in);
    return failed ? -1 : (long)n;
}

static void putFileOrNull(const wchar_t* path)
{
    static char contents[65536];
    const long n = readFile(path, contents);
    if (n < 0)
        put("null", 4);
    else
        putJson(contents, (size_t)n);
}

static void writeAtomically(const wchar_t* self, const wchar_t* suffix, const char* bytes,
                            size_t count)
{
    wchar_t path[MAX_PATH + 16], temporary[MAX_PATH + 16];
    swprintf(path, MAX_PATH + 16, L"%ls%ls", self, suffix);
    swprintf(temporary, MAX_PATH + 16, L"%ls.tmp", path);
    FILE* out = _wfopen(temporary, L"wb");
    if (!out)
        return;
    fwrite(bytes, 1, count, out);
    fclose(out);
    MoveFileExW(temporary, path, MOVEFILE_REPLACE_EXISTING);
}

int wmain(int argc, wchar_t** argv)
{
    wchar_t self[MAX_PATH], conf[MAX_PATH + 16], cwd[MAX_PATH];
    static char text[65536 + 1];
    if (!GetModuleFileNameW(NULL, self, MAX_PATH))
        return 98;
    int exitCode = 0;
    long sleepMs = 0;
    swprintf(conf, MAX_PATH + 16, L"%ls.conf", self);
    const long confSize = readFile(conf, text);
    text[confSize > 0 ? confSize : 0] = '\0';
    for (char* line = strtok(text, "\r\n"); line; line = strtok(NULL, "\r\n")) {
        if (strncmp(line, "exit=", 5) == 0)
            exitCode = atoi(line + 5);
        else if (strncmp(line, "sleep_ms=", 9) == 0)
            sleepMs = atol(line + 9);
    }

    put("{\"args\": [", 10);
    for (int i = 1; i < argc; ++i) {
        put(", ", i > 1 ? 2 : 0);
        putWide(argv[i]);
    }
    put("], \"commandLine\": ", 18);
    putWide(GetCommandLineW());
    put(", \"cwd\": ", 9);
    putWide(GetCurrentDirectoryW(MAX_PATH, cwd) ? cwd : L"");
    put(", \"netlist\": ", 13);
    putFileOrNull(L"netlist.txt");
    put(", \"kesh\": ", 10);
    putFileOrNull(L"kesh.txt");
    put(", \"files\": {", 12);
    for (int i = 1, files = 0; i < argc; ++i) {
        const long n = readFile(argv[i], text);
        if (n >= 0) {
            put(", ", files++ ? 2 : 0);
            putWide(argv[i]);
            put(": ", 2);
            putJson(text, (size_t)n);
        }
    }
    put("}}\n", 3);
    writeAtomically(self, L".report", report, used);

    Sleep((DWORD)sleepMs);
    writeAtomically(self, L".done", "done\n", 5);
    return exitCode;
}

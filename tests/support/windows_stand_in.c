/* A Windows build of a source port, for the launch tests that start one through Wine (built
 * with the mingw-w64 cross compiler, never installed). It behaves as the native stand-in
 * (StandInPort.cpp) does, seen from Windows: started as <path>, it reads "<path>.conf"
 * (lines "exit=<code>" and "sleep_ms=<milliseconds>"), writes "<path>.report" at once (JSON:
 * its argument list and its whole command line as Windows gave them, its working folder, the
 * contents of "netlist.txt" and "kesh.txt" there or null when missing, and under "files" the
 * contents of every argument that names a file it can open and read), then sleeps, writes
 * "<path>.done" and exits with the code. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <windows.h>

typedef struct
{
    char* data;
    size_t size;
    size_t capacity;
} Text;

static void append(Text* text, const char* bytes, size_t count)
{
    if (text->size + count + 1 > text->capacity) {
        text->capacity = (text->size + count + 1) * 2;
        text->data = realloc(text->data, text->capacity);
        if (!text->data)
            exit(99);
    }
    memcpy(text->data + text->size, bytes, count);
    text->size += count;
    text->data[text->size] = '\0';
}

static void appendString(Text* text, const char* s)
{
    append(text, s, strlen(s));
}

static void appendJson(Text* text, const char* bytes, size_t count)
{
    appendString(text, "\"");
    for (size_t i = 0; i < count; ++i) {
        const unsigned char c = (unsigned char)bytes[i];
        if (c == '"' || c == '\\') {
            append(text, "\\", 1);
            append(text, bytes + i, 1);
        } else if (c < 0x20) {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\u%04x", c);
            appendString(text, escaped);
        } else {
            append(text, bytes + i, 1);
        }
    }
    appendString(text, "\"");
}

static void appendWide(Text* text, const wchar_t* wide)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, NULL, 0, NULL, NULL);
    char* utf8 = malloc(size > 0 ? (size_t)size : 1);
    if (!utf8)
        exit(99);
    utf8[0] = '\0';
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, size, NULL, NULL);
    appendJson(text, utf8, strlen(utf8));
    free(utf8);
}

/* The whole file, or 0 when it cannot be opened or read. */
static int readWhole(const wchar_t* path, Text* contents)
{
    FILE* in = _wfopen(path, L"rb");
    if (!in)
        return 0;
    char buffer[4096];
    size_t n;
    int ok = 1;
    append(contents, "", 0);
    while ((n = fread(buffer, 1, sizeof buffer, in)) > 0)
        append(contents, buffer, n);
    if (ferror(in))
        ok = 0;
    fclose(in);
    return ok;
}

static void appendFileOrNull(Text* text, const wchar_t* path)
{
    Text contents = {0};
    if (readWhole(path, &contents))
        appendJson(text, contents.data, contents.size);
    else
        appendString(text, "null");
    free(contents.data);
}

static void writeAtomically(const wchar_t* path, const char* bytes, size_t count)
{
    wchar_t temporary[MAX_PATH + 8];
    swprintf(temporary, MAX_PATH + 8, L"%ls.tmp", path);
    FILE* out = _wfopen(temporary, L"wb");
    if (!out)
        return;
    fwrite(bytes, 1, count, out);
    fclose(out);
    MoveFileExW(temporary, path, MOVEFILE_REPLACE_EXISTING);
}

int wmain(int argc, wchar_t** argv)
{
    wchar_t self[MAX_PATH];
    if (!GetModuleFileNameW(NULL, self, MAX_PATH))
        return 98;
    wchar_t path[MAX_PATH + 16];

    int exitCode = 0;
    long sleepMs = 0;
    swprintf(path, MAX_PATH + 16, L"%ls.conf", self);
    Text conf = {0};
    if (readWhole(path, &conf)) {
        for (char* line = strtok(conf.data, "\r\n"); line; line = strtok(NULL, "\r\n")) {
            if (strncmp(line, "exit=", 5) == 0)
                exitCode = atoi(line + 5);
            else if (strncmp(line, "sleep_ms=", 9) == 0)
                sleepMs = atol(line + 9);
        }
    }
    free(conf.data);

    Text report = {0};
    appendString(&report, "{\"args\": [");
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            appendString(&report, ", ");
        appendWide(&report, argv[i]);
    }
    appendString(&report, "], \"commandLine\": ");
    appendWide(&report, GetCommandLineW());
    wchar_t cwd[MAX_PATH];
    if (!GetCurrentDirectoryW(MAX_PATH, cwd))
        cwd[0] = L'\0';
    appendString(&report, ", \"cwd\": ");
    appendWide(&report, cwd);
    appendString(&report, ", \"netlist\": ");
    appendFileOrNull(&report, L"netlist.txt");
    appendString(&report, ", \"kesh\": ");
    appendFileOrNull(&report, L"kesh.txt");
    appendString(&report, ", \"files\": {");
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        Text contents = {0};
        if (readWhole(argv[i], &contents)) {
            appendString(&report, files++ ? ", " : "");
            appendWide(&report, argv[i]);
            appendString(&report, ": ");
            appendJson(&report, contents.data, contents.size);
        }
        free(contents.data);
    }
    appendString(&report, "}}\n");
    swprintf(path, MAX_PATH + 16, L"%ls.report", self);
    writeAtomically(path, report.data, report.size);
    free(report.data);

    Sleep((DWORD)sleepMs);
    swprintf(path, MAX_PATH + 16, L"%ls.done", self);
    writeAtomically(path, "done\n", 5);
    return exitCode;
}

/* The Windows build of the stand-in source port (StandInPort.cpp), started through Wine: the
 * same ".conf", ".report" and ".done" files; the report holds its arguments, its working
 * folder as Windows gives it and, under "files", what it read from each argument naming one. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

static void put(FILE* out, const char* s, size_t n) /* as a JSON string */
{
    fputc('"', out);
    for (const unsigned char* c = (const unsigned char*)s; n-- > 0; ++c)
        fprintf(out, *c < 0x20 || *c == '"' || *c == '\\' ? "\\u%04x" : "%c", *c);
    fputc('"', out);
}

int main(int argc, char** argv)
{
    static char self[MAX_PATH], path[MAX_PATH + 16], report[MAX_PATH + 16], text[65536];
    int exitCode = 0, sleepMs = 0;
    GetModuleFileNameA(NULL, self, MAX_PATH);
    sprintf(path, "%s.conf", self);
    FILE* file = fopen(path, "r");
    if (file) {
        fscanf(file, "exit=%d sleep_ms=%d", &exitCode, &sleepMs);
        fclose(file);
    }

    sprintf(path, "%s.report.tmp", self);
    FILE* out = fopen(path, "wb");
    fputs("{\"args\": [", out);
    for (int i = 1; i < argc; ++i) {
        fputs(i > 1 ? ", " : "", out);
        put(out, argv[i], strlen(argv[i]));
    }
    fputs("], \"cwd\": ", out);
    put(out, text, GetCurrentDirectoryA(sizeof text, text));
    fputs(", \"files\": {", out);
    for (int i = 1, files = 0; i < argc; ++i) {
        if ((file = fopen(argv[i], "rb"))) {
            fputs(files++ ? ", " : "", out);
            put(out, argv[i], strlen(argv[i]));
            fputs(": ", out);
            put(out, text, fread(text, 1, sizeof text, file));
            fclose(file);
        }
    }
    fputs("}}\n", out);
    fclose(out);
    sprintf(report, "%s.report", self);
    MoveFileA(path, report); /* whole when it appears */

    Sleep(sleepMs);
    sprintf(path, "%s.done", self);
    fclose(fopen(path, "wb"));
    return exitCode;
}

// command_recorder.exe: stands in for the main program beside the delayed launcher. It
// appends its command line to the file named by QLY_TEST_COMMAND_LINES and ends, so a
// test sees whether the launcher started it, and how.
#include <windows.h>

#include <cstdio>

int main() {
    char path[MAX_PATH] = {};
    if (GetEnvironmentVariableA("QLY_TEST_COMMAND_LINES", path, sizeof path) == 0)
        return 2;
    FILE* f = std::fopen(path, "ab");
    if (f == nullptr)
        return 3;
    std::fprintf(f, "%s\n", GetCommandLineA());
    std::fclose(f);
    return 0;
}

// A test program that dies: it starts a trayhost and a client through the support library,
// writes their process ids to the file named on its command line, and ends at once without
// running a destructor. The harness test checks that neither process outlives it.
#include <windows.h>

#include <cstdio>

#include "tests/support/child_process.h"
#include "tests/support/tray_host.h"

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    qly_test::TrayHost host;
    qly_test::ChildProcess client(L"notifyclient.exe", L"-e stay");
    if (!host.Started() || !client.Started())
        return 1;
    FILE* f = std::fopen(argv[1], "wb");
    if (!f)
        return 1;
    std::fprintf(f, "%lu %lu\n", host.ProcessId(), client.Id());
    std::fclose(f);
    TerminateProcess(GetCurrentProcess(), 3);
    return 3;
}

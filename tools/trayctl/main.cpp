// trayctl: sends one control command to a running trayhost and prints the answer.
//   trayctl state [FILE] | click I M | create | destroy | recreate | quit | release-preload |
//   module NAME
// Exit code 0 when the command returned non-zero, 1 otherwise, 2 when no trayhost runs.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

namespace {

constexpr ULONG_PTR kControlKind = 0x54484354;

bool Send(HWND control, const std::string& text, LRESULT* result) {
    COPYDATASTRUCT cds = {};
    cds.dwData = kControlKind;
    cds.cbData = static_cast<DWORD>(text.size());
    cds.lpData = const_cast<char*>(text.data());
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(control, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds),
                             SMTO_ABORTIFHUNG, 10000, &answer))
        return false;
    *result = static_cast<LRESULT>(answer);
    return true;
}

int Usage() {
    std::fprintf(
        stderr,
        "usage: trayctl state [FILE] | click INDEX MOUSEMSG | create | destroy | recreate |\n"
        "               quit | release-preload | module NAME\n");
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    // Plain "\n" line ends: the output is read by shell scripts on the Linux side.
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc < 2)
        return Usage();
    const std::string verb = argv[1];
    HWND control = FindWindowA("TrayHostControl", nullptr);
    if (!control) {
        std::fprintf(stderr, "trayctl: no trayhost runs\n");
        return 2;
    }
    std::string command = verb;
    std::string state_file;
    bool temporary = false;
    if (verb == "state") {
        if (argc >= 3) {
            state_file = argv[2];
        } else {
            char dir[MAX_PATH] = {}, file[MAX_PATH] = {};
            GetTempPathA(MAX_PATH, dir);
            GetTempFileNameA(dir, "tst", 0, file);
            state_file = file;
            temporary = true;
        }
        // The file is written by trayhost, so it needs a full path.
        char full[MAX_PATH] = {};
        if (GetFullPathNameA(state_file.c_str(), MAX_PATH, full, nullptr))
            state_file = full;
        command += " " + state_file;
    } else if (verb == "click") {
        if (argc != 4)
            return Usage();
        command += std::string(" ") + argv[2] + " " + argv[3];
    } else if (verb == "module") {
        if (argc != 3)
            return Usage();
        command += std::string(" ") + argv[2];
    } else if (verb != "create" && verb != "destroy" && verb != "recreate" && verb != "quit" &&
               verb != "release-preload") {
        return Usage();
    }
    LRESULT result = 0;
    if (!Send(control, command, &result)) {
        std::fprintf(stderr, "trayctl: trayhost did not answer\n");
        return 2;
    }
    if (verb == "state" && result) {
        if (FILE* f = std::fopen(state_file.c_str(), "rb")) {
            char buf[4096];
            size_t n;
            while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0)
                std::fwrite(buf, 1, n, stdout);
            std::fclose(f);
        }
    } else {
        std::printf("%lld\n", static_cast<long long>(result));
    }
    if (temporary)
        DeleteFileA(state_file.c_str());
    std::fflush(stdout);
    return result ? 0 : 1;
}

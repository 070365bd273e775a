// A stand-in for MessageBoxA in diagnostics tests: records every box (text, caption,
// style) and answers from a script, since nobody can click a box under Wine. Boxes may
// come from any thread (a crash is reported on the thread that crashed).
#pragma once

#include <windows.h>

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "app/diag/message_box_seam.h"

namespace diag_test {

struct ShownBox {
    std::string text;
    std::string caption;
    UINT type;
};

class MessageBoxRecorder {
  public:
    // answers: the results of the boxes in order; IDOK once they run out.
    explicit MessageBoxRecorder(std::deque<int> answers = {}) {
        std::lock_guard<std::mutex> hold(Lock());
        Answers() = std::move(answers);
        Boxes().clear();
        m_previous = qly::SetDiagMessageBox(&Record);
    }
    ~MessageBoxRecorder() { qly::SetDiagMessageBox(m_previous); }
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    std::vector<ShownBox> Shown() const {
        std::lock_guard<std::mutex> hold(Lock());
        return Boxes();
    }

  private:
    static std::mutex& Lock() {
        static std::mutex lock;
        return lock;
    }
    static std::deque<int>& Answers() {
        static std::deque<int> answers;
        return answers;
    }
    static std::vector<ShownBox>& Boxes() {
        static std::vector<ShownBox> boxes;
        return boxes;
    }
    static int WINAPI Record(HWND, LPCSTR text, LPCSTR caption, UINT type) {
        std::lock_guard<std::mutex> hold(Lock());
        Boxes().push_back({text != nullptr ? text : "", caption != nullptr ? caption : "", type});
        if (Answers().empty()) {
            return IDOK;
        }
        const int answer = Answers().front();
        Answers().pop_front();
        return answer;
    }

    qly::MessageBoxFunction m_previous;
};

// A fresh, empty folder under the temporary folder, removed with its files at the end.
class ScratchFolder {
  public:
    explicit ScratchFolder(const char* tag) {
        char temp[MAX_PATH + 1] = {};
        GetTempPathA(MAX_PATH, temp);
        m_path = std::string(temp) + "qlydiag-" + tag + "-" +
                 std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()) +
                 "\\";
        CreateDirectoryA(m_path.c_str(), nullptr);
    }
    ~ScratchFolder() {
        for (const std::string& name : Files()) {
            DeleteFileA((m_path + name).c_str());
        }
        RemoveDirectoryA(m_path.c_str());
    }
    const std::string& Path() const { return m_path; }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((m_path + "*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) {
            return names;
        }
        do {
            const std::string name = found.cFileName;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
        return names;
    }

  private:
    std::string m_path;
};

inline std::string ReadWholeFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return "<missing>";
    }
    std::string content;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        content.append(chunk, got);
    }
    CloseHandle(file);
    return content;
}

}  // namespace diag_test

// Catches what the program says to a debugger: OutputDebugStringA raises a first-chance
// exception carrying the text, which a vectored handler can read without a debugger.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

namespace diag_test {

class DebugOutputListener {
  public:
    DebugOutputListener() {
        Texts().clear();
        m_handler = AddVectoredExceptionHandler(1, &Listen);
    }
    ~DebugOutputListener() { RemoveVectoredExceptionHandler(m_handler); }
    DebugOutputListener(const DebugOutputListener&) = delete;
    DebugOutputListener& operator=(const DebugOutputListener&) = delete;

    std::vector<std::string> Lines() const {
        std::lock_guard<std::mutex> hold(Lock());
        return Texts();
    }

  private:
    static std::mutex& Lock() {
        static std::mutex lock;
        return lock;
    }
    static std::vector<std::string>& Texts() {
        static std::vector<std::string> texts;
        return texts;
    }
    static LONG WINAPI Listen(EXCEPTION_POINTERS* pointers) {
        const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
        if (record->ExceptionCode == DBG_PRINTEXCEPTION_C && record->NumberParameters >= 2) {
            std::lock_guard<std::mutex> hold(Lock());
            Texts().emplace_back(reinterpret_cast<const char*>(record->ExceptionInformation[1]),
                                 static_cast<size_t>(record->ExceptionInformation[0]) > 0
                                     ? static_cast<size_t>(record->ExceptionInformation[0]) - 1
                                     : 0);
        }
        return EXCEPTION_CONTINUE_SEARCH;
    }

    void* m_handler;
};

}  // namespace diag_test

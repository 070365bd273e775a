// The exceptions of the main program: WinErrorBase wraps a Windows error code and shows
// the system's own text for it; WinErrorSEH wraps a structured exception (an access
// violation and the like) with copies of its exception record and processor context, so
// the handler that catches it still knows where the fault happened. Copies copy all fields.
#pragma once

#include <windows.h>

#include <cstdint>
#include <exception>

namespace qly {

inline constexpr char kWinErrorDefaultCaption[] = "WinErrorBase derived ERROR !";

class WinErrorBase : public std::exception {
  public:
    explicit WinErrorBase(uint32_t error_code);
    ~WinErrorBase() override;
    // Virtual, so that a handler holding a WinErrorBase& shows the derived class's text.
    // The system's text for the error code (FormatMessageA), kept in this object.
    virtual const char* MessageText();
    // A task-modal, topmost box with the message text; caption nullptr means
    // "WinErrorBase derived ERROR !". Returns the box's result.
    virtual int Show(const char* caption = nullptr);

    uint32_t ErrorCode() const { return m_error_code; }
    const char* KindName() const { return m_kind_name; }
    const char* CodeFormat() const { return m_code_format; }

  protected:
    static constexpr int kMessageCapacity = 256;

    uint32_t m_error_code;
    const char* m_kind_name = "ErrorBase";
    const char* m_code_format = "%08lx";
    char m_message[kMessageCapacity] = {};
};

class WinErrorSEH : public WinErrorBase {
  public:
    // pointers may be nullptr (then the records stay zero).
    WinErrorSEH(uint32_t seh_code, const EXCEPTION_POINTERS* pointers);
    ~WinErrorSEH() override;

    // "SEH with seh_error = %08x\nExceptionAddress = %08x" (code, low 32 bits of the address).
    const char* MessageText() override;

    uint32_t SehCode() const { return m_seh_code; }
    const EXCEPTION_RECORD& Record() const { return m_record; }
    const CONTEXT& Context() const { return m_context; }

  private:
    uint32_t m_seh_code;
    EXCEPTION_RECORD m_record = {};
    CONTEXT m_context = {};
};

}  // namespace qly

// One owner type for every Windows handle the program holds (kernel objects, registry
// keys, icons, GDI objects, hooks), parameterised by a small traits struct that names the
// empty value and the close call, and a scope guard for the clean-ups that are not a
// handle. Every wrapper closes exactly once, moves but never copies, and never throws.
#pragma once

#include <windows.h>

#include <utility>

namespace qly {

template <typename Traits>
class UniqueHandle {
  public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) noexcept : m_handle(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : m_handle(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Handle get() const noexcept { return m_handle; }
    explicit operator bool() const noexcept { return Traits::IsValid(m_handle); }
    // For calls that hand a new handle back through a pointer; the old one is closed first.
    Handle* out() noexcept {
        reset();
        return &m_handle;
    }
    Handle release() noexcept {
        Handle h = m_handle;
        m_handle = Traits::Empty();
        return h;
    }
    void reset(Handle handle = Traits::Empty()) noexcept {
        if (Traits::IsValid(m_handle))
            Traits::Close(m_handle);
        m_handle = handle;
    }

  private:
    Handle m_handle = Traits::Empty();
};

// Kernel objects whose "none" is null (mutexes, events, threads, processes, jobs).
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { CloseHandle(h); }
};
// Files and snapshots, whose "none" is INVALID_HANDLE_VALUE.
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { CloseHandle(h); }
};
// Handles whose "none" is null and that one call closes.
template <typename H, auto CloseFunction>
struct NullHandleTraits {
    using Handle = H;
    static Handle Empty() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { CloseFunction(h); }
};
using RegistryKeyTraits = NullHandleTraits<HKEY, &RegCloseKey>;
using IconTraits = NullHandleTraits<HICON, &DestroyIcon>;
template <typename GdiHandle>
using GdiObjectTraits = NullHandleTraits<GdiHandle, &DeleteObject>;
using HookTraits = NullHandleTraits<HHOOK, &UnhookWindowsHookEx>;
using MenuTraits = NullHandleTraits<HMENU, &DestroyMenu>;

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;
using UniqueKey = UniqueHandle<RegistryKeyTraits>;
using UniqueIcon = UniqueHandle<IconTraits>;
using UniqueBitmap = UniqueHandle<GdiObjectTraits<HBITMAP>>;
using UniqueGdiObject = UniqueHandle<GdiObjectTraits<HGDIOBJ>>;
using UniqueHook = UniqueHandle<HookTraits>;
using UniqueMenu = UniqueHandle<MenuTraits>;

}  // namespace qly

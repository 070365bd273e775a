// Whether memory of the shell process may be read before the hook reads it. The toolbar's
// per-button data and text are pointers the hook did not make: a toolbar of another shell
// version carries whatever its owner put there. Answers come from VirtualQuery (committed,
// readable, no guard page), never from touching the bytes; nothing here allocates.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qly {

// Remembers the last readable region it saw, so that the records of one toolbar, which
// sit side by side in the shell's heap, cost one query between them. Lives for one dump
// or one move on the tray's thread.
class ReadableMemory {
  public:
    // How many of the `wanted` bytes from `address` on can be read, counted from
    // `address` without a gap: 0 when not even the first byte can.
    size_t Span(const void* address, size_t wanted);
    bool Holds(const void* address, size_t size) { return Span(address, size) == size; }

  private:
    uintptr_t m_begin = 0;
    uintptr_t m_end = 0;
};

}  // namespace qly

#pragma once

#include <cstddef>
#include <cstdint>

// Pixels in an anonymous shared-memory file (memfd) rather than on the heap.
// The buffer is reached through GetPointer, which keeps the asked range
// addressable until the next call needs another one: either through one view
// of the whole mapping or through windows of whole units. The descriptor is
// what another component receives (GetHandle, Detach); nothing re-opens it by
// name.
class CMappedBuffer {
public:
    CMappedBuffer();
    virtual ~CMappedBuffer();
    CMappedBuffer(const CMappedBuffer&) = delete;
    CMappedBuffer& operator=(const CMappedBuffer&) = delete;

    // A zero-filled mapping of size bytes; false for 0 or when the system refuses.
    bool Create(uint64_t size);
    // Address of byte offset with at least length bytes behind it (cut at the
    // end of the mapping); null when closed or out of range. Valid until the
    // next call.
    virtual uint8_t* GetPointer(uint64_t offset, uint64_t length);
    virtual uint64_t GetSize() const { return m_size; }
    // The memfd descriptor; -1 when closed.
    int GetHandle() const { return m_fd; }
    bool IsOpen() const { return m_fd >= 0; }
    bool HasWholeView() const { return m_wholeView != nullptr; }

    void Close();
    // Unmaps and gives up the descriptor without closing it; the caller owns it.
    int Detach();
    // Takes a descriptor of a mapping of size bytes; access then goes through windows.
    void Attach(int fd, uint64_t size);

    // Window unit: 256 allocation units (pages here).
    static uint64_t WindowUnit();

private:
    void Unmap();

    uint64_t m_granularity = 0;
    uint64_t m_size = 0;
    int m_fd = -1;
    uint8_t* m_wholeView = nullptr;
    uint8_t* m_windowView = nullptr;
    int64_t m_windowOffset = -1;
    uint64_t m_windowSize = 0;
};

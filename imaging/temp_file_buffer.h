#pragma once

#include <cstdint>
#include <memory>
#include <string>

// Pixels in a temporary file, reached through a cache of whole blocks:
// GetPointer reads the blocks that hold the asked range into memory, after
// writing the previously cached blocks back. The descriptor is what another
// component receives (FlushAndGetFile, TakeOver); nothing re-opens the file
// by name.
class CTempFileBuffer {
public:
    static constexpr uint32_t kDefaultBlockSize = 4096;

    CTempFileBuffer() = default;
    virtual ~CTempFileBuffer();
    CTempFileBuffer(const CTempFileBuffer&) = delete;
    CTempFileBuffer& operator=(const CTempFileBuffer&) = delete;

    // A zero-filled temporary file of size bytes in the temporary folder
    // ($TMPDIR, else /tmp), named "Raw" and a unique suffix.
    bool Create(uint64_t size);
    // Address of byte offset inside the block cache with at least length
    // bytes behind it (cut at the end of the file); null when closed, out of
    // range or when the file cannot be read or written. Valid until the next call.
    virtual uint8_t* GetPointer(uint64_t offset, uint64_t length);
    virtual uint64_t GetSize() const { return m_fileSize; }
    // Writes the cached blocks back and gives the descriptor (still owned by
    // this buffer); -1 when closed or when writing back failed.
    int FlushAndGetFile();
    bool IsOpen() const { return m_fd >= 0; }
    // Drops the cache and closes the file; deletes it when remove is set.
    void Close(bool remove);
    // Takes over the other buffer's file (by descriptor) after it wrote its
    // cache back; this buffer's own file is deleted first, the other is left closed.
    void TakeOver(CTempFileBuffer& other);

    const std::string& GetPath() const { return m_path; }
    uint32_t GetBlockSize() const { return m_blockSize; }

private:
    bool WriteBack();
    void Reset();

    int m_fd = -1;
    std::unique_ptr<uint8_t[]> m_block;
    uint64_t m_blockCapacity = 0;
    std::string m_path;
    uint64_t m_fileSize = 0;
    uint32_t m_blockSize = kDefaultBlockSize;
    uint64_t m_cachedLength = 0;
    int64_t m_cachedOffset = -1;
};

#pragma once

#include "platform/byte_reader.h"
#include "platform/exceptions.h"
#include "platform/file.h"

#include <cstdint>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

// Leaves the elements a vector grows by unset, for bytes a read overwrites
// at once: zeroing them first would touch every byte twice.
template <typename T>
struct OverwriteAllocator : std::allocator<T> {
    OverwriteAllocator() = default;
    template <typename U>
    OverwriteAllocator(const OverwriteAllocator<U>&) noexcept
    {
    }
    template <typename U>
    struct rebind {
        using other = OverwriteAllocator<U>;
    };
    template <typename U>
    void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>)
    {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

// Bytes read whole from a file (CArchive::ReadBytes).
using ReadBuffer = std::vector<uint8_t, OverwriteAllocator<uint8_t>>;

// Reads or writes numbers in little-endian order and strings in the
// length-prefixed form over a CFile. A short read throws
// CArchiveException(endOfFile); file errors throw CFileException.
//
// Loading reads the file a block ahead and takes every field out of the block
// through the checked reader; a read larger than a block goes from the file
// straight to the caller. The file's position is then ahead of what was
// taken, so a loading archive is the only reader of its file while it reads.
class CArchive {
public:
    enum Mode { store = 0, load = 1 };
    static constexpr size_t kBlockBytes = 64u << 10;

    CArchive(CFile* file, Mode mode);
    ~CArchive();
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    bool IsLoading() const { return m_mode == load; }
    bool IsStoring() const { return m_mode == store; }
    CFile* GetFile() const { return m_file; }
    const std::string& GetFilePath() const { return m_file->GetFilePath(); }
    void Flush() {}
    void Close() {}

    // Bytes left to read: readers check counts against this before they allocate.
    uint64_t RemainingBytes() const;

    // Reads up to count bytes; returns how many were there.
    size_t Read(void* buffer, size_t count);
    // Reads exactly count bytes or throws endOfFile.
    void ReadExact(void* buffer, size_t count);
    // Exactly count bytes into out (its old contents go), the count checked
    // against what is left before anything is allocated.
    template <typename Allocator>
    void ReadBytes(std::vector<uint8_t, Allocator>& out, uint64_t count)
    {
        CheckBytesLeft(count);
        try {
            out.resize(static_cast<size_t>(count));
        } catch (const std::bad_alloc&) {
            throw CMemoryException();
        } catch (const std::length_error&) {
            throw CMemoryException();
        }
        ReadExact(out.data(), out.size());
    }
    // Passes over exactly count bytes without reading them (the file seeks),
    // the count checked against what is left; throws endOfFile.
    void Skip(uint64_t count);
    void Write(const void* buffer, size_t count);

    CArchive& operator<<(uint8_t v);
    CArchive& operator<<(int8_t v) { return *this << static_cast<uint8_t>(v); }
    CArchive& operator<<(uint16_t v);
    CArchive& operator<<(int16_t v) { return *this << static_cast<uint16_t>(v); }
    CArchive& operator<<(uint32_t v);
    CArchive& operator<<(int32_t v) { return *this << static_cast<uint32_t>(v); }
    CArchive& operator<<(uint64_t v);
    CArchive& operator<<(int64_t v) { return *this << static_cast<uint64_t>(v); }
    CArchive& operator<<(float v);
    CArchive& operator<<(double v);
    CArchive& operator<<(const std::string& s) { WriteStringField(s); return *this; }
    CArchive& operator<<(const char* s) { WriteStringField(s); return *this; }

    CArchive& operator>>(uint8_t& v);
    CArchive& operator>>(int8_t& v);
    CArchive& operator>>(uint16_t& v);
    CArchive& operator>>(int16_t& v);
    CArchive& operator>>(uint32_t& v);
    CArchive& operator>>(int32_t& v);
    CArchive& operator>>(uint64_t& v);
    CArchive& operator>>(int64_t& v);
    CArchive& operator>>(float& v);
    CArchive& operator>>(double& v);
    CArchive& operator>>(std::string& s) { s = ReadStringField(); return *this; }

    // The class library's string form: the length prefix, then the bytes.
    void WriteStringField(const std::string& s);
    // Also accepts the wide-string marker (0xFF, 0xFFFE) and converts UTF-16 to UTF-8.
    std::string ReadStringField();

    // The class library's collection count: a 16-bit count, or 0xFFFF and a 32-bit one.
    void WriteCount(uint32_t count);
    uint32_t ReadCount();

private:
    void CheckLoading() const;
    void CheckStoring() const;
    // Throws endOfFile when fewer than count bytes are left to load.
    void CheckBytesLeft(uint64_t count) const;
    uint64_t ReadPrefix(bool& wide);

    CFile* m_file;
    Mode m_mode;
    std::unique_ptr<uint8_t[]> m_block; // loading: the bytes read ahead
    ByteReader m_ahead;                 // what of them is not taken yet
};

#pragma once

#include "platform/exceptions.h"
#include "platform/file.h"

#include <cstdint>
#include <string>

// Reads or writes numbers in little-endian order and strings in the
// length-prefixed form over a CFile. A short read throws
// CArchiveException(endOfFile); file errors throw CFileException.
class CArchive {
public:
    enum Mode { store = 0, load = 1 };

    CArchive(CFile* file, Mode mode) : m_file(file), m_mode(mode) {}
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    bool IsLoading() const { return m_mode == load; }
    bool IsStoring() const { return m_mode == store; }
    CFile* GetFile() const { return m_file; }
    void Flush() {}
    void Close() {}

    // Bytes left to read: readers check counts against this before they allocate.
    uint64_t RemainingBytes() const;

    // Reads up to count bytes; returns how many were there.
    size_t Read(void* buffer, size_t count);
    // Reads exactly count bytes or throws endOfFile.
    void ReadExact(void* buffer, size_t count);
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
    uint64_t ReadPrefix(bool& wide);

    CFile* m_file;
    Mode m_mode;
};

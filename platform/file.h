#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A file the program's classes read and write through: a real file (CFile) or
// a block of memory (CMemFile). Failures throw CFileException.
class CFile {
public:
    enum OpenFlags : unsigned {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
    };
    enum SeekPosition { begin = 0, current = 1, end = 2 };

    CFile() = default;
    // Opens or throws CFileException.
    CFile(const std::string& path, unsigned flags);
    virtual ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // false (and the cause in *error when given) instead of throwing.
    virtual bool Open(const std::string& path, unsigned flags, class CFileException* error = nullptr);
    virtual void Close();
    virtual bool IsOpen() const { return m_fd >= 0; }

    // Reads up to count bytes; fewer only at the end of the file.
    virtual size_t Read(void* buffer, size_t count);
    virtual void Write(const void* buffer, size_t count);
    virtual uint64_t Seek(int64_t offset, SeekPosition from);
    virtual uint64_t GetPosition() const;
    virtual uint64_t GetLength() const;
    virtual void SetLength(uint64_t length);
    virtual void Flush();

    // Bytes from the position to the end; 0 at or past it.
    uint64_t GetRemaining() const;
    // Up to count bytes from the position (fewer at the end), moving past
    // them: the head of a structure that a ByteReader then reads.
    std::vector<uint8_t> ReadUpTo(uint64_t count);

    uint64_t SeekToBegin() { return Seek(0, begin); }
    uint64_t SeekToEnd() { return Seek(0, end); }
    const std::string& GetFilePath() const { return m_path; }
    int Handle() const { return m_fd; }

protected:
    int m_fd = -1;
    std::string m_path;
};

// A file in memory that grows as it is written.
class CMemFile : public CFile {
public:
    CMemFile() = default;
    // A file over a copy of the given bytes, positioned at its start.
    explicit CMemFile(std::vector<uint8_t> bytes) : m_data(std::move(bytes)) {}
    CMemFile(const void* data, size_t size);

    bool Open(const std::string&, unsigned, class CFileException* = nullptr) override { return true; }
    void Close() override {}
    bool IsOpen() const override { return true; }
    size_t Read(void* buffer, size_t count) override;
    void Write(const void* buffer, size_t count) override;
    uint64_t Seek(int64_t offset, SeekPosition from) override;
    uint64_t GetPosition() const override { return m_pos; }
    uint64_t GetLength() const override { return m_data.size(); }
    void SetLength(uint64_t length) override;
    void Flush() override {}

    const std::vector<uint8_t>& Data() const { return m_data; }
    std::vector<uint8_t> Detach();
    // The bytes become the file's contents, positioned at the start.
    void Attach(std::vector<uint8_t> bytes);

private:
    std::vector<uint8_t> m_data;
    uint64_t m_pos = 0;
};

// Renames a file or folder without ever replacing one: 0, or the system's
// error number (EEXIST when the new name is taken).
int RenameNoReplace(const std::string& from, const std::string& to);
// The same with the system's reason as text: false when it failed.
bool RenameFileNoReplace(const std::string& from, const std::string& to, std::string& error);

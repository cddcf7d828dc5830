#pragma once

#include "platform/exceptions.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <sys/types.h>

// The one writer of users' files: pictures, messages, companions, settings and
// caches. The new content goes to a temporary file in the target's folder, made
// with O_TMPFILE where the file system allows (a crash leaves nothing behind),
// else under a hidden name of our own that later writes in that folder sweep
// away once it is old. Only when the content is complete, flushed and closed
// without an error is it renamed over the target, and the folder is synced.
// The new file keeps the old one's mode (and owner, where allowed); a target
// that is a symbolic link has the file it points to replaced, so the link stays.
// On any failure the old file is as it was, no temporary file remains, and
// Error() says why, with the system's error number.
//
// Two kinds of callers: those that have the bytes (ReplaceFileContents), and
// those that write into a descriptor or open a path (libraries, plug-ins):
// they write through Handle() or WritePath() and then Commit().
class CReplaceFile {
public:
    struct Options {
        // The new file's permission bits, instead of the replaced file's (a
        // copy takes its source's). The owner is then left as it comes.
        std::optional<mode_t> mode;
        // false: a symbolic link at the target is itself replaced.
        bool followLink = true;
        // false: a file we may not write is replaced all the same (the user
        // has confirmed it). By default its protection is honoured.
        bool refuseReadOnly = true;
        // false: a file that is made again when it is lost (a cache) is not
        // flushed to the disk; it still replaces the old one only whole.
        bool durable = true;
    };

    CReplaceFile() = default;
    // Abandons a file that was not committed.
    ~CReplaceFile();
    CReplaceFile(const CReplaceFile&) = delete;
    CReplaceFile& operator=(const CReplaceFile&) = delete;

    // Makes the temporary file for target. False when it cannot be made.
    bool Open(const std::string& target, const Options& options);
    bool Open(const std::string& target) { return Open(target, Options{}); }
    bool IsOpen() const { return m_fd >= 0; }

    // The temporary file, open for reading and writing.
    int Handle() const { return m_fd; }
    // A path that opens the same temporary file, for code that opens files by
    // name. Whatever is opened through it must be closed before Commit.
    const std::string& WritePath() const { return m_writePath; }
    // The file that is replaced (a link's target when links are followed).
    const std::string& Target() const { return m_target; }

    bool Write(const void* data, size_t size);
    bool Write(std::span<const uint8_t> bytes) { return Write(bytes.data(), bytes.size()); }
    // Flushes what was written to the disk (Commit does it too).
    bool Sync();
    // Syncs, closes and renames over the target. False when anything fails;
    // the old file is then untouched and the temporary file gone.
    bool Commit();
    // Drops the temporary file; the target is untouched.
    void Abandon();

    // After a write into the temporary file by other code failed (a
    // library's, a plug-in's, which say only that they failed): the error
    // the file system reports for the file (what fsync answers, or ENOSPC
    // when the disk has no room left), 0 when it shows none.
    int FileSystemError() const;

    // The first failure: its cause, the system's error number and the target as asked.
    const CFileException& Error() const { return m_error; }

private:
    bool Fail(int err);
    void Release();

    std::string m_asked;
    std::string m_target;
    std::string m_writePath;
    std::string m_hiddenName; // the name in the folder, when the file has one
    std::string m_targetName;
    int m_dirFd = -1;
    int m_fd = -1;
    bool m_anonymous = false;
    bool m_durable = true;
    CFileException m_error;
};

// The whole file at path becomes bytes. Throws the CFileException of the failure.
void ReplaceFileContents(const std::string& path, std::span<const uint8_t> bytes);
void ReplaceFileContents(const std::string& path, std::span<const uint8_t> bytes, const CReplaceFile::Options& options);

// A fresh hidden name in folder for something built beside its target and
// renamed over it (a link being copied), in the pattern the writer sweeps.
std::string HiddenTemporaryName(const std::string& folder);

// Removes our own temporary files (the hidden pattern only) in folder that
// have not been touched for a day and belong to this user. Returns how many.
// The writer calls it once per folder and process.
int SweepTemporaryFiles(const std::string& folder);

#pragma once

#include <exception>
#include <string>

// The failure kinds the program's classes pass on: thrown by value, caught by
// reference. Each carries the cause the class library gave it.
class CException : public std::exception {
public:
    const char* what() const noexcept override { return "CException"; }
};

class CMemoryException : public CException {
public:
    const char* what() const noexcept override { return "out of memory"; }
};

// Thrown after the user has already been told (or a reader gave up on bad input).
class CUserException : public CException {
public:
    const char* what() const noexcept override { return "user exception"; }
};

class CFileException : public CException {
public:
    enum Cause {
        none,
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile,
    };

    explicit CFileException(int cause = none, int osError = 0, std::string fileName = {})
        : m_cause(cause), m_lOsError(osError), m_strFileName(std::move(fileName)) {}

    // The cause for an errno value.
    static int OsErrorToCause(int err);
    // The system's own words for the error number ("No space left on device"),
    // empty when there is none.
    std::string SystemReason() const;

    const char* what() const noexcept override { return "file exception"; }

    int m_cause;
    int m_lOsError;
    std::string m_strFileName;
};

// A message of the program's with the system's reason for e on a line of its
// own beneath it, when e has one.
std::string WithSystemReason(std::string message, const CException& e);

class CArchiveException : public CException {
public:
    enum Cause {
        none,
        genericException,
        readOnly,
        endOfFile,
        writeOnly,
        badIndex,
        badClass,
        badSchema,
    };

    explicit CArchiveException(int cause = none, std::string fileName = {})
        : m_cause(cause), m_strFileName(std::move(fileName)) {}

    const char* what() const noexcept override { return "archive exception"; }

    int m_cause;
    std::string m_strFileName;
};

#pragma once

#include "platform/exceptions.h"
#include "platform/gdi/dc.h"

#include <QPicture>

#include <cstdint>
#include <string>
#include <vector>

class CEmfWriter;

// What CloseEnhanced hands back: the enhanced metafile's bytes (also in the
// file when one was named), the drawing as Qt recorded it, and its frame.
struct EnhMetaFile {
    QPicture picture;
    std::vector<uint8_t> bytes;
    CRect frame;             // hundredths of a millimetre, as given to CreateEnhanced
    std::string description;
};

// A context that writes an enhanced metafile of what is drawn on it (the
// records of CEmfWriter). Capabilities and measurements come from the
// reference context (the screen when none is given); the metafile's page is
// the frame when one is given, else the reference context's page.
class CMetaFileDC : public CDC {
public:
    CMetaFileDC();
    ~CMetaFileDC() override;

    // frame in hundredths of a millimetre (may be null); fileName and description may be null.
    BOOL CreateEnhanced(CDC* refDC, const char* fileName, const RECT* frame, const char* description);
    // Ends recording and writes the file (through the file writer: a file
    // that was there stays as it was when writing fails). The caller owns
    // the result (DeleteEnhMetaFile). Null when nothing was begun or the
    // file could not be written.
    HENHMETAFILE CloseEnhanced();
    // Why the last CloseEnhanced could not write the file (cause none when it could).
    const CFileException& GetWriteError() const { return m_writeError; }

    int GetDeviceCaps(int index) const override;
    const std::string& FileName() const { return m_fileName; }

protected:
    QSize DeviceSize() const override;

private:
    std::unique_ptr<EnhMetaFile> m_recording;
    std::unique_ptr<CEmfWriter> m_writer;
    std::string m_fileName;
    CFileException m_writeError;
    QSize m_refSize;
    int m_refCaps[2] = {96, 96};
};

#pragma once

#include "platform/gdi/dc.h"

#include <QPicture>

#include <string>

// What CloseEnhanced hands back: the recorded drawing and its frame.
struct EnhMetaFile {
    QPicture picture;
    CRect frame;             // hundredths of a millimetre, as given to CreateEnhanced
    std::string description;
};

// A context that records what is drawn on it. Capabilities and measurements
// come from the reference context (the screen when none is given).
class CMetaFileDC : public CDC {
public:
    CMetaFileDC() = default;
    ~CMetaFileDC() override;

    // frame in hundredths of a millimetre (may be null); fileName and description may be null.
    BOOL CreateEnhanced(CDC* refDC, const char* fileName, const RECT* frame, const char* description);
    // Ends recording; the caller owns the result (DeleteEnhMetaFile). Null when nothing was begun.
    HENHMETAFILE CloseEnhanced();

    int GetDeviceCaps(int index) const override;
    const std::string& FileName() const { return m_fileName; }

protected:
    QSize DeviceSize() const override;

private:
    std::unique_ptr<EnhMetaFile> m_recording;
    std::string m_fileName;
    QSize m_refSize;
    int m_refCaps[2] = {96, 96};
};

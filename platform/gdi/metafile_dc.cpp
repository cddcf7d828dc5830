#include "platform/gdi/metafile_dc.h"

#include "platform/gdi/logfont.h"

CMetaFileDC::~CMetaFileDC()
{
    DeleteDC();
}

BOOL CMetaFileDC::CreateEnhanced(CDC* refDC, const char* fileName, const RECT* frame, const char* description)
{
    DeleteDC();
    m_recording = std::make_unique<EnhMetaFile>();
    if (frame)
        m_recording->frame = *frame;
    if (description)
        m_recording->description = description;
    m_fileName = fileName ? fileName : "";
    if (refDC) {
        m_refCaps[0] = refDC->GetDeviceCaps(LOGPIXELSX);
        m_refCaps[1] = refDC->GetDeviceCaps(LOGPIXELSY);
        m_refSize = QSize(refDC->GetDeviceCaps(HORZRES), refDC->GetDeviceCaps(VERTRES));
    } else {
        m_refCaps[0] = ScreenDotsPerInchX();
        m_refCaps[1] = ScreenDotsPerInchY();
        m_refSize = QSize(1920, 1080);
    }
    m_dpiX = m_refCaps[0];
    m_dpiY = m_refCaps[1];
    if (!AttachDevice(&m_recording->picture)) {
        m_recording.reset();
        return FALSE;
    }
    // AttachDevice starts a fresh state; the reference resolution stays.
    m_dpiX = m_refCaps[0];
    m_dpiY = m_refCaps[1];
    return TRUE;
}

HENHMETAFILE CMetaFileDC::CloseEnhanced()
{
    if (!m_recording)
        return nullptr;
    DeleteDC();
    return m_recording.release();
}

QSize CMetaFileDC::DeviceSize() const
{
    return m_refSize;
}

int CMetaFileDC::GetDeviceCaps(int index) const
{
    if (index == TECHNOLOGY)
        return DT_METAFILE;
    return CDC::GetDeviceCaps(index);
}

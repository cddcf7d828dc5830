#include "platform/gdi/metafile_dc.h"

#include "platform/gdi/emf_writer.h"
#include "platform/gdi/logfont.h"
#include "platform/replace_file.h"

CMetaFileDC::CMetaFileDC() = default;

CMetaFileDC::~CMetaFileDC()
{
    SetRecordSink(nullptr);
    DeleteDC();
}

BOOL CMetaFileDC::CreateEnhanced(CDC* refDC, const char* fileName, const RECT* frame, const char* description)
{
    SetRecordSink(nullptr);
    DeleteDC();
    m_writer.reset();
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
    QSize page = m_refSize;
    if (frame && frame->right > frame->left && frame->bottom > frame->top)
        page = QSize(int(int64_t(frame->right - frame->left) * m_refCaps[0] / 2540),
                     int(int64_t(frame->bottom - frame->top) * m_refCaps[1] / 2540));
    // The page is the frame when there is one.
    m_refSize = page;
    m_dpiX = m_refCaps[0];
    m_dpiY = m_refCaps[1];
    if (!AttachDevice(&m_recording->picture)) {
        m_recording.reset();
        return FALSE;
    }
    // AttachDevice starts a fresh state; the reference resolution stays.
    m_dpiX = m_refCaps[0];
    m_dpiY = m_refCaps[1];
    m_writer = std::make_unique<CEmfWriter>(page.width(), page.height(), m_refCaps[1], m_recording->description);
    SetRecordSink(m_writer.get());
    return TRUE;
}

HENHMETAFILE CMetaFileDC::CloseEnhanced()
{
    if (!m_recording)
        return nullptr;
    SetRecordSink(nullptr);
    DeleteDC();
    if (m_writer)
        m_recording->bytes = m_writer->Finish();
    m_writer.reset();
    m_writeError = CFileException();
    if (!m_fileName.empty()) {
        try {
            ReplaceFileContents(m_fileName, m_recording->bytes);
        } catch (const CFileException& e) {
            m_writeError = e;
            m_recording.reset();
            return nullptr;
        }
    }
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

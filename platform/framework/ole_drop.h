#pragma once

#include "platform/clipboard.h"
#include "platform/framework/wnd.h"

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <string>
#include <vector>

class QMimeData;

using DROPEFFECT = DWORD;
enum : DWORD { DROPEFFECT_SCROLL = 0x80000000u };

// A format number unique to the name (the same name gives the same number);
// the MIME type of a registered format is "application/x-qr-<name>".
UINT RegisterClipboardFormat(const std::string& name);
std::string ClipboardFormatMimeType(UINT format);

// The data of a drag or the clipboard: formats by number; registered formats
// travel as the MIME type "application/x-qr-<name>", the file list (CF_HDROP)
// as text/uri-list.
class COleDataObject {
public:
    explicit COleDataObject(const QMimeData* data = nullptr) : m_data(data) {}
    void Attach(const QMimeData* data) { m_data = data; }
    const QMimeData* GetMimeData() const { return m_data; }
    BOOL IsDataAvailable(UINT cf) const;
    // The bytes of a format; empty when it is not offered. CF_HDROP gives a
    // file-drop block (narrow UTF-8 paths) made from the local files of the drop;
    // CF_DIB gives a packed 24-bit DIB also of a picture only in the desktop's image form.
    std::vector<uint8_t> GetGlobalData(UINT cf) const;

    // The MIME type of a format; empty for one that is not known.
    static std::string MimeTypeOf(UINT cf);

private:
    const QMimeData* m_data;
};

// Whether the data offers one of the formats, tried in the list's order; an
// empty list accepts nothing.
BOOL IsAnyFormatAvailable(const COleDataObject* data, const std::vector<UINT>& formats);

// A window's drop target: the drag events of the window reach the virtual
// handlers, whose answers become the drop actions Qt reports.
class COleDropTarget : public QObject {
public:
    COleDropTarget();
    ~COleDropTarget() override;
    BOOL Register(CWnd* pWnd);
    void Revoke();
    virtual DROPEFFECT OnDragEnter(CWnd* pWnd, COleDataObject* pDataObject, DWORD dwKeyState, CPoint point);
    virtual DROPEFFECT OnDragOver(CWnd* pWnd, COleDataObject* pDataObject, DWORD dwKeyState, CPoint point);
    virtual BOOL OnDrop(CWnd* pWnd, COleDataObject* pDataObject, DROPEFFECT dropEffect, CPoint point);
    virtual DROPEFFECT OnDragScroll(CWnd* pWnd, DWORD dwKeyState, CPoint point);
    virtual void OnDragLeave(CWnd* pWnd) {}

protected:
    bool eventFilter(QObject* obj, QEvent* e) override;
    CWnd* m_pWnd = nullptr;
    // The widget drags arrive at: the window's own, or a scroll area's viewport.
    QPointer<QWidget> m_watched;
};

// A file-drop block: a 20-byte header (offset of the list, drop point,
// non-client flag, wide flag), then the paths, each ended by a zero, and one
// more zero. ReadDropFilesBlock (platform/clipboard.h) reads it back.
std::vector<uint8_t> MakeDropFileList(const std::vector<std::string>& paths);

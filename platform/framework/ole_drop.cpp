#include "platform/framework/ole_drop.h"

#include <QAbstractScrollArea>
#include <QBuffer>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

namespace {

struct FormatNames {
    std::mutex lock;
    std::map<std::string, UINT> ids;
    std::map<UINT, std::string> names;
};

FormatNames& Formats()
{
    static FormatNames f;
    return f;
}

// A packed DIB (24 bits a pixel) of the desktop's picture: what other
// programs put on the clipboard. Transparent parts go on white, as the
// picture shows on a page; empty when there is no picture or it will not encode.
std::vector<uint8_t> PackedDibOfImage(const QImage& image)
{
    if (image.isNull())
        return {};
    QImage opaque(image.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    {
        QPainter painter(&opaque);
        painter.drawImage(0, 0, image);
    }
    QByteArray bmp;
    QBuffer out(&bmp);
    if (!out.open(QIODevice::WriteOnly) || !opaque.save(&out, "BMP"))
        return {};
    constexpr qsizetype kFileHeaderSize = 14; // a BMP file is the packed DIB behind this header
    if (bmp.size() <= kFileHeaderSize)
        return {};
    return std::vector<uint8_t>(bmp.begin() + kFileHeaderSize, bmp.end());
}

DWORD KeyState(Qt::MouseButtons b, Qt::KeyboardModifiers m)
{
    DWORD s = 0;
    if (b & Qt::LeftButton)
        s |= MK_LBUTTON;
    if (b & Qt::RightButton)
        s |= MK_RBUTTON;
    if (m & Qt::ShiftModifier)
        s |= MK_SHIFT;
    if (m & Qt::ControlModifier)
        s |= MK_CONTROL;
    return s;
}

Qt::DropAction ActionOf(DROPEFFECT e)
{
    if (e & DROPEFFECT_MOVE)
        return Qt::MoveAction;
    if (e & DROPEFFECT_COPY)
        return Qt::CopyAction;
    if (e & DROPEFFECT_LINK)
        return Qt::LinkAction;
    return Qt::IgnoreAction;
}

} // namespace

UINT RegisterClipboardFormat(const std::string& name)
{
    FormatNames& f = Formats();
    std::lock_guard<std::mutex> g(f.lock);
    auto it = f.ids.find(name);
    if (it != f.ids.end())
        return it->second;
    // Registered formats are numbered from 0xC000, as the system numbers them.
    UINT id = 0xC000 + UINT(f.ids.size());
    f.ids[name] = id;
    f.names[id] = name;
    return id;
}

std::string ClipboardFormatMimeType(UINT format)
{
    FormatNames& f = Formats();
    std::lock_guard<std::mutex> g(f.lock);
    auto it = f.names.find(format);
    return it == f.names.end() ? std::string() : "application/x-qr-" + it->second;
}

std::string COleDataObject::MimeTypeOf(UINT cf)
{
    if (cf == CF_HDROP)
        return kUriListMimeType;
    if (cf == CF_TEXT)
        return "text/plain";
    if (cf == CF_DIB)
        return kDibMimeType;
    return ClipboardFormatMimeType(cf);
}

BOOL COleDataObject::IsDataAvailable(UINT cf) const
{
    if (!m_data)
        return FALSE;
    if (cf == CF_HDROP)
        return m_data->hasUrls() || m_data->hasFormat(kDropFilesMimeType);
    if (cf == CF_DIB && m_data->hasImage())
        return TRUE;
    std::string mime = MimeTypeOf(cf);
    return !mime.empty() && m_data->hasFormat(QString::fromStdString(mime));
}

BOOL IsAnyFormatAvailable(const COleDataObject* data, const std::vector<UINT>& formats)
{
    if (!data)
        return FALSE;
    for (UINT cf : formats)
        if (data->IsDataAvailable(cf))
            return TRUE;
    return FALSE;
}

std::vector<uint8_t> COleDataObject::GetGlobalData(UINT cf) const
{
    if (!IsDataAvailable(cf))
        return {};
    if (cf == CF_HDROP) {
        if (m_data->hasFormat(kDropFilesMimeType))
            return GetMimeBytes(m_data, kDropFilesMimeType);
        return MakeDropFileList(GetMimeFilePaths(m_data));
    }
    // The program's own DIB first: it keeps the bits exactly as copied.
    if (cf == CF_DIB && !m_data->hasFormat(kDibMimeType))
        return PackedDibOfImage(qvariant_cast<QImage>(m_data->imageData()));
    QByteArray bytes = m_data->data(QString::fromStdString(MimeTypeOf(cf)));
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

std::vector<uint8_t> MakeDropFileList(const std::vector<std::string>& paths)
{
    std::vector<uint8_t> block(kDropFilesHeaderSize, 0);
    block[0] = kDropFilesHeaderSize; // the list follows the header
    for (const std::string& p : paths) {
        block.insert(block.end(), p.begin(), p.end());
        block.push_back(0);
    }
    block.push_back(0);
    return block;
}

COleDropTarget::COleDropTarget() = default;

COleDropTarget::~COleDropTarget() { Revoke(); }

BOOL COleDropTarget::Register(CWnd* pWnd)
{
    if (!pWnd || !pWnd->m_hWnd)
        return FALSE;
    Revoke();
    m_pWnd = pWnd;
    // A scroll area's drags arrive at its viewport, in the coordinates of the window's client area.
    QWidget* w = pWnd->m_hWnd;
    if (auto* area = qobject_cast<QAbstractScrollArea*>(w))
        w = area->viewport();
    m_watched = w;
    w->setAcceptDrops(true);
    w->installEventFilter(this);
    return TRUE;
}

void COleDropTarget::Revoke()
{
    if (m_watched)
        m_watched->removeEventFilter(this);
    m_watched = nullptr;
    m_pWnd = nullptr;
}

DROPEFFECT COleDropTarget::OnDragEnter(CWnd*, COleDataObject*, DWORD, CPoint) { return DROPEFFECT_NONE; }
DROPEFFECT COleDropTarget::OnDragOver(CWnd*, COleDataObject*, DWORD, CPoint) { return DROPEFFECT_NONE; }
BOOL COleDropTarget::OnDrop(CWnd*, COleDataObject*, DROPEFFECT, CPoint) { return FALSE; }
DROPEFFECT COleDropTarget::OnDragScroll(CWnd*, DWORD, CPoint) { return DROPEFFECT_NONE; }

bool COleDropTarget::eventFilter(QObject* obj, QEvent* e)
{
    if (!m_pWnd || !m_watched || obj != m_watched)
        return false;
    switch (e->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* de = static_cast<QDragMoveEvent*>(e);
        COleDataObject data(de->mimeData());
        CPoint pt(int(de->position().x()), int(de->position().y()));
        DWORD keys = KeyState(de->buttons(), de->modifiers());
        DROPEFFECT effect = OnDragScroll(m_pWnd, keys, pt);
        if (!(effect & DROPEFFECT_SCROLL))
            effect = e->type() == QEvent::DragEnter ? OnDragEnter(m_pWnd, &data, keys, pt)
                                                    : OnDragOver(m_pWnd, &data, keys, pt);
        Qt::DropAction a = ActionOf(effect & ~DROPEFFECT_SCROLL);
        if (a == Qt::IgnoreAction) {
            de->ignore();
        } else {
            de->setDropAction(a);
            de->accept();
        }
        return true;
    }
    case QEvent::DragLeave: OnDragLeave(m_pWnd); return true;
    case QEvent::Drop: {
        auto* de = static_cast<QDropEvent*>(e);
        COleDataObject data(de->mimeData());
        CPoint pt(int(de->position().x()), int(de->position().y()));
        DROPEFFECT effect = de->dropAction() == Qt::MoveAction ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
        if (OnDrop(m_pWnd, &data, effect, pt)) {
            // The source learns what was done, which need not be what it proposed.
            de->setDropAction(ActionOf(effect));
            de->accept();
        } else
            de->ignore();
        return true;
    }
    default: return false;
    }
}

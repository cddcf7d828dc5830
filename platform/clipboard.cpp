#include "platform/clipboard.h"

#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QMimeData>
#include <QUrl>

#include <cstring>

void SetFileListMimeData(QMimeData* data, const std::vector<std::string>& paths, FileListUse use)
{
    if (!data)
        return;
    QList<QUrl> urls;
    QByteArray gnome = use == FileListUse::Cut ? "cut" : "copy";
    for (const std::string& p : paths) {
        QUrl u = QUrl::fromLocalFile(QString::fromStdString(p));
        urls.push_back(u);
        gnome += '\n';
        gnome += u.toEncoded();
    }
    data->setUrls(urls);
    if (use != FileListUse::Drag)
        data->setData("x-special/gnome-copied-files", gnome);
}

void SetMimeBytes(QMimeData* data, const std::string& mimeType, const void* bytes, size_t count)
{
    if (!data || mimeType.empty())
        return;
    data->setData(QString::fromStdString(mimeType),
                  QByteArray(static_cast<const char*>(bytes), qsizetype(count)));
}

std::vector<uint8_t> GetMimeBytes(const QMimeData* data, const std::string& mimeType)
{
    if (!data || mimeType.empty())
        return {};
    const QByteArray b = data->data(QString::fromStdString(mimeType));
    return std::vector<uint8_t>(b.begin(), b.end());
}

bool ReadDropFilesBlock(const std::vector<uint8_t>& block, std::vector<std::string>& paths)
{
    paths.clear();
    if (block.size() < 20)
        return false;
    auto u32 = [&](size_t at) {
        return uint32_t(block[at]) | uint32_t(block[at + 1]) << 8 | uint32_t(block[at + 2]) << 16 |
               uint32_t(block[at + 3]) << 24;
    };
    const uint64_t offset = u32(0);
    if (offset < 20 || offset > block.size() || u32(16) != 0)
        return false;
    size_t at = size_t(offset);
    while (at < block.size()) {
        const auto* start = block.data() + at;
        const void* end = std::memchr(start, 0, block.size() - at);
        if (!end)
            return false; // a path without its terminator
        const size_t len = size_t(static_cast<const uint8_t*>(end) - start);
        if (len == 0)
            return true;
        paths.emplace_back(reinterpret_cast<const char*>(start), len);
        at += len + 1;
    }
    return false; // no closing empty path
}

DWORD RunDrag(QObject* source, QMimeData* data, DWORD allowedEffects)
{
    if (!source || !data) {
        delete data;
        return DROPEFFECT_NONE;
    }
    Qt::DropActions actions;
    if (allowedEffects & DROPEFFECT_COPY)
        actions |= Qt::CopyAction;
    if (allowedEffects & DROPEFFECT_MOVE)
        actions |= Qt::MoveAction;
    if (allowedEffects & DROPEFFECT_LINK)
        actions |= Qt::LinkAction;
    auto* drag = new QDrag(source); // deleted by Qt when the drag ends
    drag->setMimeData(data);
    switch (drag->exec(actions, Qt::CopyAction)) {
    case Qt::CopyAction: return DROPEFFECT_COPY;
    case Qt::MoveAction:
    case Qt::TargetMoveAction: return DROPEFFECT_MOVE;
    case Qt::LinkAction: return DROPEFFECT_LINK;
    default: return DROPEFFECT_NONE;
    }
}

void SetClipboardMimeData(QMimeData* data)
{
    if (QClipboard* cb = QApplication::clipboard())
        cb->setMimeData(data);
    else
        delete data;
}

#include "platform/clipboard.h"

#include "platform/byte_reader.h"

#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QMimeData>
#include <QUrl>

#include <optional>
#include <string_view>

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
    ByteReader r(block);
    const std::optional<uint32_t> offset = r.U32();
    // The drop point and the non-client flag do not matter here; the list must be narrow.
    const std::optional<uint32_t> wide = r.Skip(12) ? r.U32() : std::nullopt;
    if (!offset || !wide || *wide != 0 || *offset < kDropFilesHeaderSize || !r.SeekTo(*offset))
        return false;
    while (const std::optional<std::string_view> path = r.ZString()) {
        if (path->empty())
            return true;
        paths.emplace_back(*path);
    }
    paths.clear(); // a path without its terminator, or no closing empty path
    return false;
}

std::vector<std::string> ReadUriListPaths(std::span<const uint8_t> list)
{
    // Some programs end the list with a zero byte.
    if (!list.empty() && list.back() == 0)
        list = list.first(list.size() - 1);
    std::vector<std::string> paths;
    ByteReader r(list);
    while (const std::optional<std::string_view> line = r.Line()) {
        const QByteArray address = QByteArray(line->data(), qsizetype(line->size())).trimmed();
        if (address.isEmpty() || address.startsWith('#'))
            continue;
        const QUrl url = QUrl::fromEncoded(address);
        if (!url.isLocalFile())
            continue;
        std::string path = url.toLocalFile().toStdString();
        // An encoded zero byte would cut the path short where it is opened:
        // it would name another file than the one that was dropped. An empty
        // one names none, and would end a drop-files list early.
        if (!path.empty() && path.find('\0') == std::string::npos)
            paths.push_back(std::move(path));
    }
    return paths;
}

std::vector<std::string> GetMimeFilePaths(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return {};
    const QByteArray list = data->data(kUriListMimeType);
    return ReadUriListPaths(std::span(reinterpret_cast<const uint8_t*>(list.constData()), size_t(list.size())));
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

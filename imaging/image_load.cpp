// The bitmap road of the importer host and the loading front end: a plug-in,
// else the program's own BMP reader, a rendering of a text file, or a picture
// of the file's icon (with its name, for files nothing else reads).
#include "imaging/image_load.h"

#include "imaging/dib_bitmap.h"
#include "imaging/image_importer.h"
#include "platform/exceptions.h"
#include "platform/file.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gui_request.h"
#include "platform/path.h"
#include "platform/shell.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"

#include <QFileInfo>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>

namespace {

constexpr size_t kMaxTextBytes = 65535;
constexpr UINT kTextFlags = 0x42850; // word break, expand tabs, no prefix, edit control, word ellipsis

// The bitmap depth for a plug-in's bit count; 0 when there is none.
int DibDepthFor(int bits)
{
    switch (bits) {
    case 1: return 1;
    case 2: case 3: case 4: return 4;
    case 5: case 6: case 7: case 8: return 8;
    case 15: case 16: return 16;
    case 24: return 24;
    case 32: return 32;
    default: return 0;
    }
}

// Moves each pixel of a packed row of `bits` bits into one pixel of `depth`
// bits (4 or 8), value unchanged.
void WidenRow(const uint8_t* in, uint8_t* out, int width, int bits, int depth)
{
    for (int x = 0; x < width; ++x) {
        const int64_t bit = static_cast<int64_t>(x) * bits;
        unsigned v = static_cast<unsigned>(in[bit / 8]) << 8;
        if (bit % 8 + bits > 8)
            v |= in[bit / 8 + 1];
        const unsigned value = (v >> (16 - bit % 8 - bits)) & ((1u << bits) - 1);
        if (depth == 8)
            out[x] = static_cast<uint8_t>(value);
        else
            out[x / 2] = static_cast<uint8_t>(x % 2 ? (out[x / 2] & 0xF0) | value : value << 4);
    }
}

// The picture from a QImage drawn top-down, as a bitmap of the given depth.
bool ImageToDib(const QImage& image, CDibBitmap& target, int depth)
{
    CDibBitmap bmp;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    if (!bmp.CreateDib(CSize(rgb.width(), rgb.height()), depth))
        return false;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb p = line[x];
            const COLORREF c = RGB(qRed(p), qGreen(p), qBlue(p));
            if (depth == 1) {
                // Black ink on white paper.
                bmp.SetPixel(x, y, qGray(p) >= 128 ? 1 : 0);
            } else {
                BYTE* row = bmp.GetBits() + static_cast<size_t>(rgb.height() - 1 - y) * bmp.GetStride();
                row[3 * x] = GetBValue(c);
                row[3 * x + 1] = GetGValue(c);
                row[3 * x + 2] = GetRValue(c);
            }
        }
    }
    return target.Attach(std::move(bmp));
}

// Icons come from the desktop theme and are made on the GUI thread. A worker
// asks for one there; made icons are kept by kind and size, so a worker that
// could not wait (the thumbnail loader) finds it when it tries again.
QImage IconImage(const std::string& path, int size)
{
    struct Cache {
        std::mutex lock;
        std::map<std::pair<int, int>, QImage> images;
    };
    static Cache cache;
    const auto key = std::make_pair(CShellImageList::IndexForFile(path), size);
    {
        std::lock_guard<std::mutex> g(cache.lock);
        if (auto it = cache.images.find(key); it != cache.images.end())
            return it->second;
    }
    auto make = [key] {
        QIcon icon = CShellImageList::System(true).GetIcon(key.first);
        const int size = key.second;
        QImage image(size, size, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        if (!icon.isNull()) {
            icon.paint(&p, QRect(0, 0, size, size));
        } else {
            // No icon theme: a plain sheet of paper.
            p.setPen(Qt::black);
            p.drawRect(QRect(size / 5, size / 10, size * 3 / 5, size * 4 / 5));
        }
        p.end();
        std::lock_guard<std::mutex> g(cache.lock);
        cache.images[key] = image;
        return image;
    };
    return AskGuiThread(make).value_or(QImage());
}

} // namespace

bool RenderTextFileToDib(const std::string& path, CDibBitmap& target, const RECT* rect)
{
    std::string bytes;
    try {
        CFile file(path, CFile::modeRead);
        const uint64_t length = std::min<uint64_t>(file.GetLength(), kMaxTextBytes);
        bytes.resize(static_cast<size_t>(length));
        bytes.resize(file.Read(bytes.data(), bytes.size()));
    } catch (const CException&) {
        return false;
    }
    bytes.resize(strnlen(bytes.data(), bytes.size()));
    // UTF-8 when it is; otherwise Latin-1, which every byte string is.
    QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (text.contains(QChar::ReplacementCharacter))
        text = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    CRect area = rect ? CRect(*rect) : CRect(0, 0, 300, 300);
    area.NormalizeRect();
    if (area.IsRectEmpty())
        return false;
    QImage image(area.Width(), area.Height(), QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        CDC dc(&image);
        CFont font;
        font.CreatePointFont(90, std::string(res::String(IDS_BUTTON_FONT_FACE)).c_str(), &dc);
        CFont* old = dc.SelectObject(&font);
        CRect draw(0, 0, area.Width(), area.Height());
        dc.DrawText(text.toStdString(), &draw, kTextFlags);
        dc.SelectObject(old);
    }
    return ImageToDib(image, target, 1);
}

bool RenderOleObjectToDib(const std::string& path, CDibBitmap& target)
{
    // A card of the file's icon above its name, at 96 dots per inch.
    constexpr int kWidth = 160, kHeight = 96, kIcon = 32;
    QImage icon = IconImage(path, kIcon);
    if (icon.isNull())
        return false;
    QImage card(kWidth, kHeight, QImage::Format_RGB32);
    card.fill(Qt::white);
    {
        QPainter p(&card);
        p.drawImage((kWidth - kIcon) / 2, 12, icon);
        p.setPen(Qt::black);
        const QString name = QString::fromStdString(LastNameOf(path));
        const QRect text(4, 12 + kIcon + 6, kWidth - 8, kHeight - 12 - kIcon - 10);
        p.drawText(text, Qt::AlignHCenter | Qt::AlignTop,
                   p.fontMetrics().elidedText(name, Qt::ElideMiddle, text.width()));
    }
    return ImageToDib(card, target, 24);
}

void RenderFileIconToDib(const std::string& path, CDibBitmap& target)
{
    QImage icon = IconImage(path, 32);
    if (!icon.isNull())
        ImageToDib(icon, target, 24);
}

void CImageImporter::ReadDibImage(const std::string& path, CDibBitmap& target, const void* options,
                                  int lockTimeoutMs)
{
    auto info = FindPluginEntry<ImageDIBInfoExProcFn>(m_current, "ImageDIBInfoExProc");
    auto data = FindPluginEntry<ImageDIBDataExProcFn>(m_current, "ImageDIBDataExProc");
    auto cap = FindPluginEntry<ImportCapProcFn>(m_current, "ImportCapProc");
    if (!QFileInfo::exists(QString::fromStdString(path)) || !info || !data || !cap)
        throw CUserException();
    const uint32_t flags = Flags();
    QrBitmapInfoHeader header{};
    if (info(path.c_str(), options, &header, flags) != 0)
        throw CUserException();
    const int bits = header.biBitCount == 15 ? 16 : header.biBitCount;
    const int depth = DibDepthFor(header.biBitCount);
    const int64_t width = header.biWidth, height = header.biHeight;
    if (depth == 0 || width <= 0 || height <= 0)
        throw CUserException();
    const int64_t rowBytes = ((width * bits + 31) / 32) * 4;
    const int64_t size = rowBytes * height;
    if (size <= 0 || size > kMaxImportPixelBytes || width > INT32_MAX / 32)
        throw CUserException();
    uint32_t entries = header.biClrUsed;
    if (entries == 0)
        entries = (bits == 16 || bits == 32) ? 3 : bits <= 8 ? (1u << bits) : 0;
    entries = std::min<uint32_t>(entries, 256); // a colour table never holds more
    // The bitmap this becomes must be one we may make, before anything is allocated.
    if (DibRowBytes(width, depth) * static_cast<uint64_t>(height) > CDibBitmap::MaxImageBytes())
        throw CUserException();
    std::vector<uint8_t> block(40 + 4 * static_cast<size_t>(entries), 0);
    std::memcpy(block.data(), &header, 40);

    // Rows that have the bitmap's layout go straight into the bitmap; other
    // depths pass through a block of their own and are widened after.
    const bool direct = bits == depth && bits != 16;
    CDibBitmap bmp;
    std::unique_ptr<uint8_t[]> staging;
    uint8_t* pixels = nullptr;
    if (direct) {
        if (!bmp.CreateDibForOverwrite(CSize(static_cast<LONG>(width), static_cast<LONG>(height)), depth))
            throw CMemoryException();
        if (bmp.GetStride() != rowBytes)
            throw CUserException();
        pixels = bmp.GetBits();
    } else {
        staging.reset(new (std::nothrow) uint8_t[static_cast<size_t>(size)]());
        if (!staging)
            throw CMemoryException();
        pixels = staging.get();
    }
    const QrImportBuffer buffer{static_cast<int32_t>(width), static_cast<int32_t>(height), header.biBitCount,
                                static_cast<int32_t>(rowBytes), static_cast<uint64_t>(size),
                                static_cast<uint32_t>(4 * entries), 0};

    uint16_t result = QR_PLUGIN_CANCELLED;
    if (!TakeImportLock(lockTimeoutMs)) {
        m_lockFailed = true;
    } else {
        m_lockFailed = false;
        result = data(path.c_str(), options, pixels, block.data() + 40, m_colorRecordsGiven ? &m_source : nullptr,
                      m_colorRecordsGiven ? &m_working : nullptr,
                      m_colorRecordsGiven && m_displayRecordGiven ? &m_display : nullptr, m_callback, m_userValue,
                      flags, m_callbackUser, &buffer);
        ImportLock().unlock();
    }
    if (result == QR_PLUGIN_CANCELLED)
        m_resultCode = QR_PLUGIN_CANCELLED;
    if (result != 0)
        throw CUserException();

    // The colour table: the plug-in's entries, the rest black.
    std::vector<RGBQUAD> palette;
    if (depth <= 8) {
        palette.assign(static_cast<size_t>(1) << depth, RGBQUAD{});
        for (uint32_t i = 0; i < entries && i < palette.size(); ++i)
            palette[i] = RGBQUAD{block[40 + 4 * i], block[41 + 4 * i], block[42 + 4 * i], 0};
    }
    if (direct) {
        if (!palette.empty())
            bmp.SetPaletteColors(palette.data(), static_cast<int>(palette.size()));
    } else if (bits == 16) {
        // 16-bit results become bit-field bitmaps: 5-5-5 for 15 bits, else 5-6-5.
        const bool fifteen = header.biBitCount == 15;
        const DWORD masks[3] = {fifteen ? 0x7C00u : 0xF800u, fifteen ? 0x03E0u : 0x07E0u, 0x001Fu};
        std::vector<uint8_t> packed;
        auto put = [&](uint32_t v, int n) {
            for (int i = 0; i < n; ++i)
                packed.push_back(static_cast<uint8_t>(v >> (8 * i)));
        };
        put(40, 4), put(static_cast<uint32_t>(width), 4), put(static_cast<uint32_t>(height), 4), put(1, 2);
        put(16, 2), put(3 /* bit fields */, 4), put(static_cast<uint32_t>(size), 4), put(3780, 4), put(3780, 4);
        put(0, 4), put(0, 4);
        for (DWORD m : masks)
            put(m, 4);
        packed.insert(packed.end(), pixels, pixels + size);
        staging.reset();
        if (!bmp.ReadFromGlobal(packed))
            throw CUserException();
    } else {
        if (!bmp.CreateDibForOverwrite(CSize(static_cast<LONG>(width), static_cast<LONG>(height)), depth,
                                       palette.empty() ? nullptr : palette.data()))
            throw CUserException();
        for (int64_t r = 0; r < height; ++r)
            WidenRow(pixels + r * rowBytes, bmp.GetBits() + static_cast<size_t>(r) * bmp.GetStride(),
                     static_cast<int>(width), bits, depth);
    }
    target.Attach(std::move(bmp));
}

void CImageImporter::DecodeToDib(const std::string& path, CDibBitmap& target, const void* rect,
                                 const std::string* pluginPath, int lockTimeoutMs)
{
    m_colorsMatched = false;
    try {
        const std::string ext = UpperFileExtensionWithDot(path);
        if (SelectPlugin(path, pluginPath)) {
            ReadDibImage(path, target, rect, lockTimeoutMs);
            m_lastLoadKind = kLoadKindPlugin;
        } else if (ext == ".BMP") {
            // A BMP file that cannot be read is a failure, not an empty success.
            if (!target.LoadFromFile(path, true))
                throw CUserException();
            m_lastLoadKind = kLoadKindBmp;
        } else if (ext == ".TXT" || ext == ".C" || ext == ".CPP" || ext == ".H" || ext == ".BAT" || ext == ".INI" ||
                   ext == ".LOG") {
            if (!RenderTextFileToDib(path, target, static_cast<const RECT*>(rect)))
                throw CUserException();
            m_lastLoadKind = kLoadKindText;
        } else if (ext != ".EXE" && ext != ".SYS" && ext != ".DLL") {
            if (!RenderOleObjectToDib(path, target))
                throw CUserException();
            m_lastLoadKind = kLoadKindOle;
        } else {
            RenderFileIconToDib(path, target);
            if (!target.IsValid())
                throw CUserException();
            m_lastLoadKind = kLoadKindIcon;
        }
    } catch (...) {
        // On this road every give-up, a plug-in's cancel included, is -11004.
        m_resultCode = LoadCodeOf(std::current_exception());
    }
    if (m_resultCode != 0)
        throw m_resultCode;
}

bool CImageImporter::TryDecodeToDib(const std::string& path, CDibBitmap& target, const void* rect, int lockTimeoutMs)
{
    try {
        DecodeToDib(path, target, rect, nullptr, lockTimeoutMs);
        return true;
    } catch (...) {
        return false;
    }
}

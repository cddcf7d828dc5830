#include "message/ano_record.h"

#include "util/draw_guards.h"
#include "util/geometry.h"
#include "util/print_text_settings.h"
#include "util/string_util.h"
#include "message/message_version.h"
#include "message/picture_jpeg.h"
#include "message/wave.h"
#include "platform/wave_riff.h"
#include "platform/archive.h"
#include "imaging/dib_bitmap.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/logfont.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"
#include "platform/path.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kDefaultPointTenths = 100;

[[noreturn]] void Damaged(CArchive& ar, int cause = CArchiveException::genericException)
{
    throw CArchiveException(cause, ar.GetFilePath());
}

// A count read from the file that must fit into what is left of it.
uint64_t CheckedCount(CArchive& ar, int64_t count, uint64_t unitBytes)
{
    if (count < 0)
        Damaged(ar);
    uint64_t bytes = static_cast<uint64_t>(count) * unitBytes;
    if (bytes / unitBytes != static_cast<uint64_t>(count) || bytes > ar.RemainingBytes())
        Damaged(ar, CArchiveException::endOfFile);
    return bytes;
}

// A 32-bit count and that many bytes, the count checked against what is left.
std::vector<uint8_t> ReadCountedBytes(CArchive& ar)
{
    int32_t count = 0;
    ar >> count;
    std::vector<uint8_t> bytes;
    ar.ReadBytes(bytes, CheckedCount(ar, count, 1));
    return bytes;
}

// The same passed over unread.
void SkipCountedBytes(CArchive& ar)
{
    int32_t count = 0;
    ar >> count;
    ar.Skip(CheckedCount(ar, count, 1));
}

// An image comment's attachment: a 32-bit count and that many bytes of JPEG
// data. Throws CArchiveException when they do not decode.
void DecodeAttachedPicture(const std::vector<uint8_t>& attachment, CImageBuffer& out)
{
    CMemFile file(attachment);
    CArchive ar(&file, CArchive::load);
    const std::vector<uint8_t> jpeg = ReadCountedBytes(ar);
    if (jpeg.empty())
        throw CArchiveException(CArchiveException::endOfFile);
    msgjpeg::Decode(jpeg.data(), jpeg.size(), out);
}

int ParseNumber(const std::string& s)
{
    return static_cast<int>(std::strtol(s.c_str(), nullptr, 10));
}

// JPEG and the thumbnail want whole bytes per channel: anything else becomes
// 24 bits first.
bool IsPlainColour(int type)
{
    return type == PixelType::Bgr24 || type == PixelType::Rgb24;
}

} // namespace

LOGFONT DefaultCommentFont()
{
    return LogFontFromPointSize(kDefaultPointTenths, std::string(res::String(IDS_COMMENT_FONT_FACE)),
                                ScreenDotsPerInchY());
}

CAnoRecord::CAnoRecord() : m_logFont(DefaultCommentFont()) {}

CAnoRecord::CAnoRecord(int32_t kind, std::string userName, const SYSTEMTIME& date, const CAreaMarquee& area)
    : m_strUserName(std::move(userName)), m_date(date), m_area(area), m_logFont(DefaultCommentFont()), m_nKind(kind)
{
}

CAnoRecord::CAnoRecord(const CAnoRecord& other) : CMemFile()
{
    *this = other;
}

CAnoRecord& CAnoRecord::operator=(const CAnoRecord& other)
{
    if (this == &other)
        return *this;
    ClearContent(other.m_nKind);
    m_strContent = other.m_strContent;
    m_strUserName = other.m_strUserName;
    m_date = other.m_date;
    m_area = other.m_area;
    const auto& bytes = other.Data();
    if (!bytes.empty()) {
        Write(bytes.data(), bytes.size());
        SeekToBegin();
    }
    if (other.m_picture.IsValid())
        m_picture.CopyRect(other.m_picture, CRect(0, 0, other.m_picture.GetWidth(), other.m_picture.GetHeight()));
    m_logFont = other.m_logFont;
    m_color = other.m_color;
    return *this;
}

void CAnoRecord::ClearContent(int32_t kind)
{
    m_strContent.clear();
    SetLength(0);
    m_picture.Free();
    m_nKind = kind;
}

void CAnoRecord::SetText(const char* text)
{
    ClearContent(CAnoRecord::text);
    m_strContent = text ? text : "";
}

bool CAnoRecord::AttachSound(const std::string& path)
{
    ClearContent(sound);
    m_strContent = StemOf(path);
    CFile file;
    if (!file.Open(path, CFile::modeRead))
        return false;
    try {
        uint64_t length = file.GetLength();
        if (length > kMaxAttachmentBytes)
            return false;
        std::vector<uint8_t> bytes(static_cast<size_t>(length));
        if (file.Read(bytes.data(), bytes.size()) != bytes.size())
            return false;
        Write(bytes.data(), bytes.size());
        SeekToBegin();
    } catch (const CException&) {
        SetLength(0);
        return false;
    }
    return true;
}

bool CAnoRecord::AttachImage(const std::string& path, const CImageBuffer& picture)
{
    ClearContent(image);
    if (!picture.IsValid())
        return false;
    m_strContent = StemOf(path);

    const CImageBuffer* source = &picture;
    CImageBuffer converted;
    if (!IsPlainColour(picture.GetPixelType())) {
        if (!converted.CopyRect(picture, CRect(0, 0, picture.GetWidth(), picture.GetHeight())) ||
            !converted.ConvertToBitsPerPixel(24))
            return false;
        source = &converted;
    }

    // An image comment without its image would be a silent loss: a failed
    // encode fails the attach.
    std::vector<uint8_t> jpeg;
    if (!msgjpeg::Encode(*source, 95, jpeg) || jpeg.size() > kMaxAttachmentBytes)
        return false;
    {
        CArchive out(this, CArchive::store);
        out << static_cast<int32_t>(jpeg.size());
        out.Write(jpeg.data(), jpeg.size());
    }
    SeekToBegin();

    const CRect bound(0, 0, kThumbWidth, kThumbHeight), whole(0, 0, source->GetWidth(), source->GetHeight());
    CRect thumb;
    FitRectKeepAspect(&bound, &whole, &thumb, 1);
    if (!m_picture.Create(CImageBuffer::kHeap, thumb.Size(), source->GetPixelType(), source->GetOrientation(), nullptr,
                          source->GetPaletteEntries(), 96.0f, 96.0f))
        return false;
    try {
        source->ResampleInto(m_picture, CImageBuffer::kBilinear);
    } catch (const CException&) {
        m_picture.Free();
        return false;
    }
    return true;
}

bool CAnoRecord::IsValid() const
{
    return m_nKind >= text && m_nKind <= image && !m_strContent.empty();
}

bool CAnoRecord::GetImage(CImageBuffer& out)
{
    if (m_nKind != image || GetLength() == 0)
        return false;
    DecodeAttachedPicture(Data(), out);
    return true;
}

std::string CAnoRecord::UnreadableText() const
{
    const std::string comment = "\"" + m_strContent + "\" " + GetHeading();
    if (m_nKind == sound) {
        WaveRiff riff;
        WaveReadFailure why;
        return ReadWaveRiff(Data(), riff, &why) ? std::string() : WaveReadFailureText(why, comment);
    }
    if (m_nKind != image)
        return {};
    try {
        CImageBuffer picture;
        DecodeAttachedPicture(Data(), picture);
        return {};
    } catch (const CException&) {
        return FormatWithStrings(res::String(IDS_PICTURE_COMMENT_UNREADABLE), {comment});
    }
}

std::unique_ptr<CDibBitmap> CAnoRecord::CreateImageBitmap()
{
    try {
        CImageBuffer picture;
        if (!GetImage(picture) || !picture.ResizeToFit(kScreenWidth, kScreenHeight, CImageBuffer::kBilinear))
            return nullptr;
        return picture.CreateDib();
    } catch (const CException&) {
        return nullptr;
    }
}

CRect CAnoRecord::LayoutCard(CDC& dc, const CRect& rect, UINT format, int resolution, bool showCaption,
                             CRect* textArea)
{
    const bool measureOnly = (format & DT_CALCRECT) != 0;
    auto scaled = [resolution](int64_t v) { return static_cast<LONG>(v * resolution / 96); };

    LOGFONT lf = m_logFont;
    lf.lfHeight = scaled(lf.lfHeight);
    CFont font;
    font.CreateFontIndirect(&lf);
    CFontSelection selectFont(&dc, &font);

    CRect textRect = rect;
    CRect pictureRect;
    if (m_nKind == sound) {
        const LONG side = scaled(24);
        pictureRect = CRect(rect.left, rect.top, rect.left + side, rect.top + side);
        textRect.left = pictureRect.right + scaled(4);
    } else if (m_nKind == image && m_picture.IsValid()) {
        pictureRect = CRect(rect.left, rect.top, rect.left + scaled(m_picture.GetWidth()),
                            rect.top + scaled(m_picture.GetHeight()));
        textRect.top = pictureRect.bottom;
    }

    const std::string caption = showCaption ? GetCaption() : m_strContent;
    CRect measured = textRect;
    dc.DrawText(caption, &measured, format | DT_CALCRECT);
    if (textArea)
        *textArea = CRect(textRect.left, textRect.top, std::max(textRect.right, measured.right), measured.bottom);
    if (!measureOnly) {
        dc.SetTextColor(m_color);
        const int oldMode = dc.SetBkMode(TRANSPARENT);
        CRect drawn = textRect;
        drawn.bottom = std::max(drawn.bottom, measured.bottom);
        dc.DrawText(caption, &drawn, format);
        dc.SetBkMode(oldMode);
        if (m_nKind == sound) {
            dc.FillSolidRect(&pictureRect, m_color);
        } else if (!pictureRect.IsRectEmpty()) {
            if (std::unique_ptr<CDibBitmap> dib = m_picture.CreateDib())
                dib->Draw(&dc, pictureRect);
        }
    }
    CRect card;
    card.UnionRect(measured, pictureRect);
    return card;
}

bool CAnoRecord::WriteContent(CFile& file) const
{
    const auto& bytes = Data();
    switch (m_nKind) {
    case text:
        file.Write(m_strContent.data(), m_strContent.size());
        return true;
    case sound:
        if (bytes.empty())
            return false;
        file.Write(bytes.data(), bytes.size());
        return true;
    case image:
        if (bytes.size() <= 4)
            return false;
        file.Write(bytes.data() + 4, bytes.size() - 4);
        return true;
    default:
        return false;
    }
}

void CAnoRecord::Scale(int oldWidth, int oldHeight, int newWidth, int newHeight, int attachWidth, int attachHeight)
{
    if (oldWidth <= 0)
        return; // nothing to scale from
    auto scale = [&](int64_t v) { return static_cast<LONG>(v * newWidth / oldWidth); };
    CRect& r = m_area.m_rect;
    const LONG width = std::max<LONG>(2, scale(static_cast<int64_t>(r.right) - r.left));
    const LONG height = std::max<LONG>(2, scale(static_cast<int64_t>(r.bottom) - r.top));
    r.left = scale(r.left);
    r.top = scale(r.top);
    r.right = r.left + width;
    r.bottom = r.top + height;

    if (m_nKind != image)
        return;
    CImageBuffer picture;
    try {
        if (!GetImage(picture))
            return;
    } catch (const CException&) {
        return; // a picture that does not decode is kept as it came, not lost
    }
    picture.ResizeToFit(attachWidth, attachHeight, CImageBuffer::kBilinear);
    const std::string name = m_strContent;
    const CImageBuffer previousThumb(m_picture);
    std::vector<uint8_t> previous = Data();
    if (AttachImage(name, picture)) {
        m_strContent = name;
        return;
    }
    // Keep the comment as it was rather than lose its image.
    ClearContent(image);
    m_strContent = name;
    Write(previous.data(), previous.size());
    SeekToBegin();
    if (previousThumb.IsValid())
        m_picture.CopyRect(previousThumb, CRect(0, 0, previousThumb.GetWidth(), previousThumb.GetHeight()));
}

std::string CAnoRecord::FormatDate() const
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", m_date.wYear, m_date.wMonth, m_date.wDay,
                  m_date.wHour, m_date.wMinute, m_date.wSecond);
    return buf;
}

void CAnoRecord::ParseDate(std::string_view textIn)
{
    std::vector<std::string> tokens;
    SplitString(textIn, tokens, "() /:", true, false);
    const SYSTEMTIME now = GetCurrentLocalTime();
    const int fallback[6] = {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
    int v[6];
    for (size_t i = 0; i < 6; ++i)
        v[i] = i < tokens.size() ? ParseNumber(tokens[i]) : fallback[i];
    // Two-digit years are this century's; a stored 1999 stays 1999.
    if (!tokens.empty() && v[0] >= 0 && v[0] < 100)
        v[0] += 2000;
    COleDateTime when;
    if (when.SetDateTime(v[0], v[1], v[2], v[3], v[4], v[5]) != 0 || !when.GetAsSystemTime(m_date))
        m_date = now;
}

std::string CAnoRecord::GetCaption() const
{
    const std::string content = m_strContent.empty() ? std::string() : m_strContent + "\r\n";
    return content + GetHeading();
}

std::string CAnoRecord::GetHeading() const
{
    const std::string user = m_strUserName.empty() ? std::string() : m_strUserName + " ";
    const COleDateTime when(m_date);
    std::string date = FormatDateTimeLocale(when, true, false);
    std::string time = FormatDateTimeLocale(when, false, true);
    if (date.empty() || time.empty()) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", m_date.wYear, m_date.wMonth, m_date.wDay);
        date = buf;
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", m_date.wHour, m_date.wMinute, m_date.wSecond);
        time = buf;
    }
    return "( " + user + " " + date + " " + time + " )";
}

void CAnoRecord::ReadAttachment(CArchive& ar)
{
    std::vector<uint8_t> data = ReadCountedBytes(ar);
    if (!data.empty())
        Attach(std::move(data));
}

void CAnoRecord::ReadPicture(CArchive& ar)
{
    m_picture.Free();
    std::vector<uint8_t> raw = ReadCountedBytes(ar);
    if (raw.empty())
        return;
    CMemFile file(std::move(raw));
    try {
        m_picture.ReadFile(file, CImageBuffer::kMapping, false);
    } catch (const CUserException&) {
        m_picture.Free();
        Damaged(ar);
    }
}

void CAnoRecord::Serialize(CArchive& ar, int version, bool withData)
{
    if (ar.IsStoring()) {
        ar << m_nKind << m_area.m_nKind;
        ar << m_area.m_rect.left << m_area.m_rect.top << m_area.m_rect.right << m_area.m_rect.bottom;
        ar << m_strContent << m_strUserName << FormatDate();
        const auto& bytes = Data();
        ar << static_cast<int32_t>(bytes.size());
        ar.Write(bytes.data(), bytes.size());
        uint8_t font[kLogFontBytes];
        LogFontToBytes(m_logFont, font);
        ar.Write(font, sizeof font);
        ar << m_color;
        ar.WriteCount(static_cast<uint32_t>(m_area.m_points.size()));
        for (const CPoint& p : m_area.m_points)
            ar << p.x << p.y;
        if (!m_picture.Serialize(ar))
            throw CMemoryException(); // the thumbnail could not be put into raw form
        return;
    }

    if (version > 101) {
        ar >> m_nKind >> m_area.m_nKind;
    } else {
        m_nKind = text;
        m_area.m_nKind = CAreaMarquee::square;
    }
    ar >> m_area.m_rect.left >> m_area.m_rect.top >> m_area.m_rect.right >> m_area.m_rect.bottom;
    ar >> m_strContent;
    if (version > 100)
        ar >> m_strUserName;
    std::string date;
    ar >> date;
    ParseDate(date);
    if (version > 120) {
        if (withData)
            ReadAttachment(ar);
        else
            SkipCountedBytes(ar);
    }
    if (version > 130) {
        uint8_t font[kLogFontBytes];
        ar.ReadExact(font, sizeof font);
        m_logFont = LogFontFromBytes(font);
        ar >> m_color;
    }
    if (version > 140) {
        const uint32_t count = ar.ReadCount();
        CheckedCount(ar, count, 8);
        m_area.m_points.resize(count);
        for (CPoint& p : m_area.m_points)
            ar >> p.x >> p.y;
    }
    if (version > 120) {
        if (withData)
            ReadPicture(ar);
        else
            SkipCountedBytes(ar);
    }
}

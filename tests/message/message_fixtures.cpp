#include "message_fixtures.h"

#include "message/picture_jpeg.h"
#include "message/wave.h"
#include "platform/archive.h"
#include "platform/wave_riff.h"

#include <cstdlib>
#include <cstring>
#include <sstream>

namespace msgtest {

CImageBuffer MakePicture(int width, int height, int pixelType)
{
    CImageBuffer b;
    b.Create(CImageBuffer::kHeap, CSize(width, height), pixelType, 1);
    const int bpp = b.GetBytesPerPixel();
    for (int y = 0; y < height; ++y) {
        BYTE* row = b.GetRowPointer(y);
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < bpp; ++c)
                row[x * bpp + c] = static_cast<BYTE>(std::min(255, x * 180 / std::max(1, width - 1) + y * 60 / std::max(1, height) + c * 10));
    }
    return b;
}

std::vector<uint8_t> WaveBytes(size_t samples)
{
    std::vector<uint8_t> w = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    for (size_t i = 0; i < samples; ++i)
        w.push_back(static_cast<uint8_t>(i * 7));
    return w;
}

std::vector<uint8_t> PlayableWaveBytes(size_t samples)
{
    WAVEFORMATEX f;
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = 1;
    f.nSamplesPerSec = 11025;
    f.wBitsPerSample = 8;
    const std::vector<uint8_t> ramp = SampleRamp(samples);
    const std::span<const uint8_t> pieces[] = {ramp};
    return BuildWaveRiff(f, pieces);
}

std::vector<uint8_t> SampleRamp(size_t n, unsigned step)
{
    std::vector<uint8_t> b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>(i * step + 1);
    return b;
}

std::vector<uint8_t> SoundSamples(const CWave& wave)
{
    std::vector<uint8_t> all;
    for (const auto& b : wave.GetBlocks())
        all.insert(all.end(), b->Bytes().begin(), b->Bytes().end());
    return all;
}

SYSTEMTIME Date(int y, int mo, int d, int h, int mi, int s)
{
    SYSTEMTIME t;
    t.wYear = static_cast<WORD>(y);
    t.wMonth = static_cast<WORD>(mo);
    t.wDay = static_cast<WORD>(d);
    t.wHour = static_cast<WORD>(h);
    t.wMinute = static_cast<WORD>(mi);
    t.wSecond = static_cast<WORD>(s);
    return t;
}

namespace {

void Common(CAnoRecord& r, const char* user, const CAreaMarquee& area, COLORREF colour)
{
    r.m_strUserName = user;
    r.m_date = Date(2026, 12, 10, 13, 45, 7);
    r.m_area = area;
    r.m_color = colour;
    // Spelled out rather than the screen's default, which follows its resolution.
    r.m_logFont = LOGFONT{};
    r.m_logFont.lfHeight = -13;
    r.m_logFont.lfWeight = 700;
    r.m_logFont.lfItalic = 1;
    r.m_logFont.lfCharSet = DEFAULT_CHARSET;
    std::memcpy(r.m_logFont.lfFaceName, "Arial", 5);
}

} // namespace

CAnoRecord TextRecord(const std::string& text, const CAreaMarquee& area)
{
    CAnoRecord r;
    r.SetText(text.c_str());
    Common(r, "Anne", area, RGB(200, 10, 10));
    return r;
}

CAnoRecord SoundRecord(const std::vector<uint8_t>& wave, const CAreaMarquee& area)
{
    CAnoRecord r;
    r.SetText(nullptr);
    r.m_nKind = CAnoRecord::sound;
    r.SetContentString("voice");
    r.Write(wave.data(), wave.size());
    Common(r, "Ben", area, RGB(0, 128, 0));
    return r;
}

CAnoRecord ImageRecord(const std::vector<uint8_t>& jpeg, const CAreaMarquee& area)
{
    std::vector<uint8_t> counted(4 + jpeg.size());
    for (int i = 0; i < 4; ++i)
        counted[i] = static_cast<uint8_t>(jpeg.size() >> (8 * i));
    std::copy(jpeg.begin(), jpeg.end(), counted.begin() + 4);
    CAnoRecord r = SoundRecord(counted, area);
    r.m_nKind = CAnoRecord::image;
    r.SetContentString("detail");
    CImageBuffer thumb = MakePicture(8, 6);
    r.m_picture.TakeOver(thumb);
    Common(r, "Cleo", area, RGB(1, 2, 3));
    return r;
}

CAPhotoContent FullContent(const std::vector<uint8_t>& photoJpeg, const std::vector<uint8_t>& attachJpeg)
{
    CAPhotoContent c(95);
    if (!photoJpeg.empty()) {
        CImageBuffer photo;
        msgjpeg::Decode(photoJpeg.data(), photoJpeg.size(), photo);
        c.TakeImage(photo);
    }
    c.m_strPictureText = "beach";
    c.m_strReserved = "reserved";
    std::vector<uint8_t> profile(40);
    for (size_t i = 0; i < profile.size(); ++i)
        profile[i] = static_cast<uint8_t>(i * 5 + 1);
    c.m_profile.Set(profile.data(), profile.size());
    c.m_strInfoText = "info text";
    c.m_nInfoValue = 7;
    c.m_nReadOnly = 1;
    c.m_nPictureState = 2;

    CAreaMarquee freehand;
    freehand.SetFreehand({{3, 4}, {12, 1}, {9, 11}});
    auto add = [&](int depth, CAnoRecord r) {
        c.m_comments.emplace_back(depth, std::make_unique<CAnoRecord>(std::move(r)));
    };
    add(0, TextRecord("Hello, world", CAreaMarquee(CRect(1, 2, 10, 8), CAreaMarquee::square)));
    add(1, SoundRecord(PlayableWaveBytes(64), CAreaMarquee(CRect(2, 2, 6, 6), CAreaMarquee::roundSquare)));
    add(2, ImageRecord(attachJpeg, CAreaMarquee(CRect(0, 0, 16, 12), CAreaMarquee::oval)));
    add(0, TextRecord("Gr\xC3\xBC\xC3\x9F" "e", freehand));
    add(1, TextRecord(std::string(300, 'x'), CAreaMarquee()));
    return c;
}

bool SamePixels(const CImageBuffer& a, const CImageBuffer& b, int tolerance)
{
    if (a.IsValid() != b.IsValid())
        return false;
    if (!a.IsValid())
        return true;
    if (a.GetSize() != b.GetSize() || a.GetPixelType() != b.GetPixelType())
        return false;
    const size_t rowBytes = static_cast<size_t>(a.GetWidth()) * a.GetBytesPerPixel();
    for (int y = 0; y < a.GetHeight(); ++y) {
        const BYTE* ra = a.GetRowPointer(y);
        const BYTE* rb = b.GetRowPointer(y);
        for (size_t i = 0; i < rowBytes; ++i)
            if (std::abs(ra[i] - rb[i]) > tolerance)
                return false;
    }
    return true;
}

std::string CompareRecords(const CAnoRecord& a, const CAnoRecord& b)
{
    std::ostringstream d;
    if (a.m_nKind != b.m_nKind)
        d << "kind " << a.m_nKind << "/" << b.m_nKind << "; ";
    if (a.m_strContent != b.m_strContent)
        d << "content; ";
    if (a.m_strUserName != b.m_strUserName)
        d << "user; ";
    if (a.FormatDate() != b.FormatDate())
        d << "date " << a.FormatDate() << "/" << b.FormatDate() << "; ";
    if (!(a.m_area == b.m_area))
        d << "area; ";
    if (a.Data() != b.Data())
        d << "attachment; ";
    if (std::memcmp(&a.m_logFont, &b.m_logFont, sizeof a.m_logFont) != 0)
        d << "font; ";
    if (a.m_color != b.m_color)
        d << "colour; ";
    if (!SamePixels(a.m_picture, b.m_picture))
        d << "picture; ";
    return d.str();
}

std::string CompareContents(const CAPhotoContent& a, const CAPhotoContent& b, int photoTolerance)
{
    std::ostringstream d;
    if (a.m_strPictureText != b.m_strPictureText)
        d << "picture text; ";
    if (!SamePixels(a.GetImage(), b.GetImage(), photoTolerance))
        d << "photograph; ";
    if (!(a.m_profile == b.m_profile))
        d << "profile; ";
    if (a.m_strInfoText != b.m_strInfoText || a.m_nInfoValue != b.m_nInfoValue)
        d << "info; ";
    if (a.m_nReadOnly != b.m_nReadOnly || a.m_nPictureState != b.m_nPictureState)
        d << "trailer; ";
    if (a.m_comments.size() != b.m_comments.size())
        return d.str() + "comment count";
    for (size_t i = 0; i < a.m_comments.size(); ++i) {
        if (a.m_comments[i].m_nDepth != b.m_comments[i].m_nDepth)
            d << "depth " << i << "; ";
        std::string r = CompareRecords(*a.m_comments[i].m_pRecord, *b.m_comments[i].m_pRecord);
        if (!r.empty())
            d << "comment " << i << ": " << r;
    }
    return d.str();
}

std::vector<uint8_t> WriteMessage(CAPhotoContent& content)
{
    CMemFile f;
    CArchive ar(&f, CArchive::store);
    content.WriteBody(ar);
    return f.Detach();
}

void ReadMessage(const std::vector<uint8_t>& bytes, CAPhotoContent& content, bool whole)
{
    CMemFile f(bytes);
    CArchive ar(&f, CArchive::load);
    content.ReadBody(ar, whole);
}

} // namespace msgtest

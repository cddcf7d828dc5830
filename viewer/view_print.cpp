#include "viewer/view_print.h"

#include "resources/string_table.h"
#include "util/geometry.h"
#include "resources/string_ids.h"
#include "platform/gdi/logfont.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {
constexpr int kCaptionPoints = 8;
} // namespace

CViewPrintSettings::CViewPrintSettings()
{
    m_captionFont.lfHeight = -((kCaptionPoints * kScreenDpi + 36) / 72);
    m_captionFont.lfWeight = 400;
    m_captionFont.lfCharSet = DEFAULT_CHARSET;
    const std::string face(res::String(IDS_PRINT_FONT_FACE));
    std::strncpy(m_captionFont.lfFaceName, face.c_str(), LF_FACESIZE - 1);
}

namespace viewprint {

int MillimetresOf(int64_t dots, int dpi)
{
    if (dpi <= 0)
        return 0;
    return int(double(dots) * 25.4 / dpi + 0.3);
}

int DotsOf(int64_t millimetres, int dpi)
{
    const int64_t dots = millimetres * dpi * 10 / 254;
    return int(std::clamp<int64_t>(dots, 0, INT32_MAX));
}

Limits ComputeLimits(int pictureWidth, int pictureHeight, const RECT& pictureArea, int dpi)
{
    Limits l;
    const RECT picture{0, 0, pictureWidth, pictureHeight};
    RECT fitted{};
    ScaleRectKeepAspect(&pictureArea, &picture, &fitted, 1);
    l.largestWidth = std::max<LONG>(0, fitted.right - fitted.left);
    l.largestHeight = std::max<LONG>(0, fitted.bottom - fitted.top);
    // A caption that takes the whole page leaves no width to divide by.
    l.leastResolution = ResolutionOf(pictureWidth, dpi, l.largestWidth);
    return l;
}

int SideFromResolution(int64_t resolution, int pictureSide, int dpi, int largest)
{
    if (resolution < 1)
        return largest;
    const int64_t side = int64_t(pictureSide) * dpi / resolution;
    return int(std::clamp<int64_t>(side, 1, std::max(1, largest)));
}

int ResolutionOf(int pictureSide, int dpi, int printed)
{
    if (printed <= 0)
        return 0;
    return int(std::min<int64_t>(int64_t(pictureSide) * dpi / printed, INT32_MAX));
}

int64_t NumberOf(const std::string& text)
{
    int64_t n = 0;
    int digits = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || ++digits > kMaxDigits)
            break;
        n = n * 10 + (c - '0');
    }
    return n;
}

} // namespace viewprint

#include "ui/caption_fonts.h"

#include "platform/framework/system_metrics.h"
#include "platform/gdi/logfont.h"

#include <QFontInfo>

#include <cmath>
#include <memory>

namespace {

std::unique_ptr<CFont>& FrameFont()
{
    static std::unique_ptr<CFont> font;
    return font;
}

std::unique_ptr<CFont>& DialogFont()
{
    static std::unique_ptr<CFont> font;
    return font;
}

std::unique_ptr<CFont> MakeBold(const QFont& from)
{
    auto font = std::make_unique<CFont>();
    LOGFONT lf = LogFontFromQFont(from, 700);
    font->CreateFontIndirect(&lf);
    return font;
}

} // namespace

LOGFONT LogFontFromQFont(const QFont& font, int weight)
{
    LOGFONT lf;
    int px = font.pixelSize();
    if (px <= 0)
        px = int(std::lround(font.pointSizeF() * ScreenDotsPerInchY() / 72.0));
    lf.lfHeight = -std::max(1, px);
    lf.lfWeight = weight;
    lf.lfItalic = font.italic() ? 1 : 0;
    SetLogFontFaceName(lf, QFontInfo(font).family().toStdString());
    return lf;
}

CFont* GetFrameCaptionFont()
{
    if (!FrameFont())
        RemakeFrameCaptionFont();
    return FrameFont().get();
}

void RemakeFrameCaptionFont() { FrameFont() = MakeBold(GetNonClientMetrics().lfCaptionFont); }

CFont* GetDialogCaptionFont()
{
    if (!DialogFont())
        DialogFont() = MakeBold(GetNonClientMetrics().lfMenuFont);
    return DialogFont().get();
}

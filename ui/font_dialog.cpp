#include "ui/font_dialog.h"

#include "platform/framework/wnd.h"
#include "platform/gdi/logfont.h"

#include <QFontDialog>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace {

FontDialogAnswer& Answer()
{
    static FontDialogAnswer answer;
    return answer;
}

} // namespace

FontDialogAnswer SetFontDialogAnswer(FontDialogAnswer answer) { return std::exchange(Answer(), std::move(answer)); }

BOOL ChooseFontDialog(CWnd* pParent, LOGFONT& lf)
{
    if (const FontDialogAnswer& answer = Answer())
        return answer(lf);
    // Sizes count at 96 dots per inch, as the screen font they start from.
    QFont start(QString::fromUtf8(LogFontFaceName(lf).c_str()));
    start.setPixelSize(std::max<int>(1, std::abs(int(lf.lfHeight))));
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok, start, pParent ? pParent->m_hWnd : nullptr, "Font",
                                         QFontDialog::ScalableFonts);
    if (!ok)
        return FALSE;
    const int px = f.pixelSize() > 0 ? f.pixelSize() : int(std::lround(f.pointSizeF() * kScreenDpi / 72));
    lf.lfHeight = -std::max(1, px);
    lf.lfWeight = f.weight() >= QFont::Bold ? 700 : 400;
    lf.lfItalic = f.italic() ? 1 : 0;
    SetLogFontFaceName(lf, f.family().toStdString());
    return TRUE;
}

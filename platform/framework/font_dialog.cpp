#include "platform/framework/font_dialog.h"

#include "platform/framework/message_box.h"
#include "platform/framework/wnd.h"
#include "platform/gdi/logfont.h"

#include <QFontDialog>

#include <cmath>
#include <cstdlib>

CFontDialog::CFontDialog(const LOGFONT& initial, int dotsPerInch, CWnd* pParent)
    : m_logFont(initial), m_nDotsPerInch(dotsPerInch > 0 ? dotsPerInch : kScreenDpi), m_pParent(pParent)
{
}

INT_PTR CFontDialog::DoModal()
{
    QFont start = QFontFromLogFont(m_logFont);
    // The dialog speaks in points; the record counts pixels at its resolution.
    if (m_logFont.lfHeight != 0)
        start.setPointSizeF(std::abs(double(m_logFont.lfHeight)) * 72.0 / m_nDotsPerInch);
    QFontDialog dialog(start, m_pParent ? m_pParent->m_hWnd : nullptr);
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    dialog.setOption(QFontDialog::ScalableFonts);
    if (dialog.exec() != QDialog::Accepted)
        return IDCANCEL;
    const QFont chosen = dialog.selectedFont();
    LOGFONT lf = LogFontFromPointSize(int(std::lround(chosen.pointSizeF() * 10)), chosen.family().toStdString(),
                                      m_nDotsPerInch);
    lf.lfWeight = chosen.bold() ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = chosen.italic() ? 1 : 0;
    lf.lfUnderline = chosen.underline() ? 1 : 0;
    lf.lfStrikeOut = chosen.strikeOut() ? 1 : 0;
    m_logFont = lf;
    return IDOK;
}

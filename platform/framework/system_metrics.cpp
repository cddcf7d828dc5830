#include "platform/framework/system_metrics.h"

#include "platform/framework/wnd.h"

#include <QApplication>
#include <QFontDatabase>
#include <QScreen>
#include <QWidget>

#include <chrono>
#include <optional>

namespace {

std::optional<QFont>& CaptionFontOverride()
{
    static std::optional<QFont> font;
    return font;
}

QFont GeneralFont(int points)
{
    QFont f = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    f.setPointSize(points);
    return f;
}

} // namespace

int GetSystemMetrics(int index)
{
    switch (index) {
    case SM_CXSCREEN:
    case SM_CYSCREEN: {
        QRect r(0, 0, 1024, 768);
        if (auto* s = QGuiApplication::primaryScreen())
            r = s->geometry();
        return index == SM_CXSCREEN ? r.width() : r.height();
    }
    case SM_CXVSCROLL:
    case SM_CYHSCROLL: return 16;
    case SM_CYCAPTION: return 19;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return 3;
    case SM_CXICON:
    case SM_CYICON: return 32;
    case SM_CYMENU: return 19;
    case SM_CXSIZE:
    case SM_CYSIZE: return 18;
    case SM_CXFRAME:
    case SM_CYFRAME: return 4;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16;
    default: return 0;
    }
}

NONCLIENTMETRICS GetNonClientMetrics()
{
    NONCLIENTMETRICS m;
    m.lfCaptionFont = CaptionFontOverride() ? *CaptionFontOverride() : GeneralFont(9);
    m.lfSmCaptionFont = GeneralFont(8);
    m.lfMenuFont = GeneralFont(9);
    m.lfStatusFont = GeneralFont(9);
    m.lfMessageFont = GeneralFont(9);
    return m;
}

void SetSystemCaptionFont(const QFont& font)
{
    CaptionFontOverride() = font;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (CWnd* wnd = CWnd::FromHandlePermanent(w))
            wnd->SendMessage(WM_SETTINGCHANGE, 0x2A /* SPI_SETNONCLIENTMETRICS */, 0);
}

QFont GetDefaultGuiFont() { return GeneralFont(8); }

DWORD GetTickCount()
{
    using namespace std::chrono;
    return DWORD(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}


#include "message/about_dlog.h"

#include "util/geometry.h"
#include "imaging/jpeg_codec.h"
#include "platform/framework/paint_dc.h"
#include "platform/framework/system_metrics.h"
#include "platform/framework/wnd_bridge.h"
#include "resources/picture_resources.h"

#include <QApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <algorithm>

BEGIN_MESSAGE_MAP(CAboutDlog, CDialog)
END_MESSAGE_MAP()

namespace {

void RegisterAboutTemplate()
{
    static const bool once = [] {
        DlgTemplate t;
        t.style = WS_POPUP;
        t.rect = CRect(0, 0, 347, 227);
        // The picture control names no picture here: the dialog decodes its own.
        t.items.push_back({"STATIC", "", IDC_ABOUT_PICTURE, 0x4800000E, CRect(0, 0, 347, 227)});
        RegisterDialogTemplate(IDD_ABOUTBOX, t);
        return true;
    }();
    (void)once;
}

} // namespace

QImage LoadJpegResource(UINT nId)
{
    std::vector<uint8_t> bytes = res::BinaryResource("JPEG", nId);
    if (bytes.empty())
        return {};
    BITMAPINFOHEADER h{};
    if (!JpegReadHeader(bytes.data(), bytes.size(), &h) || h.biWidth <= 0 || h.biHeight <= 0 || h.biBitCount != 24)
        return {};
    const size_t stride = (size_t(h.biWidth) * 3 + 3) & ~size_t(3);
    std::vector<uint8_t> bits(stride * size_t(h.biHeight));
    if (!JpegDecode(bytes.data(), bytes.size(), bits.data(), bits.size()))
        return {};
    // Bottom-up blue-green-red rows become a top-down image.
    QImage img(h.biWidth, h.biHeight, QImage::Format_RGB32);
    for (int y = 0; y < h.biHeight; ++y) {
        const uint8_t* src = bits.data() + stride * size_t(h.biHeight - 1 - y);
        auto* dst = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < h.biWidth; ++x)
            dst[x] = qRgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
    }
    return img;
}

CAboutDlog::CAboutDlog(CWnd* pParent, int nMinimumMs, const std::string& text)
    : CDialog(IDD_ABOUTBOX, pParent), m_strText(text), m_nMinimumMs(nMinimumMs)
{
    RegisterAboutTemplate();
}

CAboutDlog::CAboutDlog(int nMinimumMs, const std::string& text) : m_strText(text), m_nMinimumMs(nMinimumMs)
{
    RegisterAboutTemplate();
}

int CAboutDlog::TimeLeft(int nMinimumMs, DWORD dwShownAt, DWORD dwNow, BOOL bClicked)
{
    if (bClicked || dwShownAt == 0 || nMinimumMs <= 0)
        return 0;
    DWORD elapsed = dwNow - dwShownAt; // tick counts wrap: the difference does not
    if (elapsed >= DWORD(nMinimumMs))
        return 0;
    return nMinimumMs - int(elapsed);
}

CAboutDlog::~CAboutDlog()
{
    int left = TimeLeft(m_nMinimumMs, m_dwShownAt, GetTickCount(), m_bClicked);
    if (left > 0) {
        // A splash still on screen keeps painting and may be clicked away; a
        // closed About box holds the program without taking its input.
        bool visible = m_hWnd && IsWindowVisible();
        QEventLoop loop;
        m_pWaitLoop = &loop;
        QTimer::singleShot(left, &loop, &QEventLoop::quit);
        loop.exec(visible ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
        m_pWaitLoop = nullptr;
    }
    if (m_hWnd)
        DestroyWindow();
}

HWND CAboutDlog::CreateWidget(const CREATESTRUCT& cs, QWidget* parent)
{
    if (parent)
        return CDialog::CreateWidget(cs, parent);
    return new CWndWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint);
}

void CAboutDlog::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_ABOUT_PICTURE, m_wndPicture);
}

BOOL CAboutDlog::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (!m_strText.empty())
        SetDlgItemText(IDC_ABOUT_TEXT, m_strText);
    m_picture = LoadJpegResource(IDR_ABOUT_JPEG);
    CRect window, client;
    GetWindowRect(&window);
    GetClientRect(&client);
    const int extraW = window.Width() - client.Width(), extraH = window.Height() - client.Height();
    CRect size(0, 0, m_picture.width() + extraW, m_picture.height() + extraH);
    QRect desk = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry() : QRect();
    CRect bound(desk.left(), desk.top(), desk.left() + desk.width(), desk.top() + desk.height());
    CRect fitted;
    if (!bound.IsRectEmpty())
        FitRectKeepAspect(&bound, &size, &fitted, 1);
    else
        fitted = size;
    MoveWindow(fitted, FALSE);
    if (m_nMinimumMs > 0)
        if (CWnd* ok = GetDlgItem(IDOK))
            ok->ShowWindow(SW_HIDE);
    return TRUE;
}

BOOL CAboutDlog::DestroyWindow()
{
    m_picture = QImage();
    return CDialog::DestroyWindow();
}

void CAboutDlog::OnShowWindow(BOOL bShow, UINT nStatus)
{
    CDialog::OnShowWindow(bShow, nStatus);
    if (bShow) {
        // 0 means "never shown"; a tick count of exactly 0 is taken as 1.
        m_dwShownAt = std::max<DWORD>(GetTickCount(), 1);
    }
}

void CAboutDlog::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == 1)
        EndDialog(IDOK);
    else
        CDialog::OnTimer(nIDEvent);
}

void CAboutDlog::OnLButtonDown(UINT nFlags, CPoint point)
{
    m_bClicked = TRUE;
    if (m_pWaitLoop)
        m_pWaitLoop->quit();
    EndDialog(IDOK);
}

void CAboutDlog::OnPaint()
{
    CPaintDC dc(this);
    QPainter* p = dc.Painter();
    if (!p || m_picture.isNull())
        return;
    CRect rc;
    GetClientRect(&rc);
    // A picture larger than the screen was shrunk with the dialog: scale it
    // with its proportions instead of cutting it off.
    p->setRenderHint(QPainter::SmoothPixmapTransform);
    p->drawImage(QRect(0, 0, rc.Width(), rc.Height()), m_picture);
    if (!m_strText.empty())
        if (CWnd* label = GetDlgItem(IDC_ABOUT_TEXT)) {
            CRect r;
            label->GetWindowRect(&r);
            ScreenToClient(&r);
            p->setPen(QColor(255, 255, 255));
            p->setFont(GetFont());
            p->drawText(QRect(r.left, r.top, r.Width(), r.Height()), Qt::AlignRight | Qt::AlignTop, QString::fromStdString(m_strText));
        }
}

std::unique_ptr<CAboutDlog> CAboutDlog::ShowSplash(BOOL bShow, int nMinimumMs)
{
    auto splash = std::make_unique<CAboutDlog>(nMinimumMs, std::string());
    if (bShow && splash->Create(IDD_ABOUTBOX, nullptr)) {
        splash->ShowWindow(SW_SHOW);
        splash->UpdateWindow();
        QApplication::processEvents();
    }
    return splash;
}

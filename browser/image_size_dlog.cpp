#include "browser/image_size_dlog.h"

#include "ui/edit_util.h"
#include "util/reg_settings.h"
#include "imaging/dib_format.h"
#include "platform/framework/controls.h"
#include "platform/framework/message_box.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"

#include <climits>
#include <cstdint>
#include <cstdio>

BEGIN_MESSAGE_MAP(CImageSizeDlog, CDialogEx)
    ON_EN_CHANGE(IDC_IMAGE_SIZE_WIDTH, &CImageSizeDlog::OnWidthChanged)
    ON_EN_CHANGE(IDC_IMAGE_SIZE_HEIGHT, &CImageSizeDlog::OnHeightChanged)
    ON_BN_CLICKED(IDC_IMAGE_SIZE_OK, &CImageSizeDlog::OnOK)
    ON_BN_CLICKED(IDC_IMAGE_SIZE_CANCEL, &CImageSizeDlog::OnCancel)
END_MESSAGE_MAP()

namespace {

void RegisterImageSizeTemplate()
{
    static const bool once = [] {
        constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
        DlgTemplate t;
        t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
        t.rect = CRect(0, 0, 194, 153);
        t.title = "Image Size";
        auto add = [&t](const char* cls, const char* text, UINT id, DWORD style, CRect r) {
            t.items.push_back({cls, text, id, style, r});
        };
        add("BUTTON", "Resized Image", UINT(IDC_STATIC), kChild | BS_GROUPBOX, CRect(7, 7, 187, 77));
        add("STATIC", "Width:", UINT(IDC_STATIC), kChild, CRect(17, 22, 62, 30));
        add("EDIT", "", IDC_IMAGE_SIZE_WIDTH, kChild | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, CRect(66, 20, 126, 32));
        add("STATIC", "Pixels", UINT(IDC_STATIC), kChild, CRect(132, 22, 177, 30));
        add("STATIC", "Height:", UINT(IDC_STATIC), kChild, CRect(17, 40, 62, 48));
        add("EDIT", "", IDC_IMAGE_SIZE_HEIGHT, kChild | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, CRect(66, 38, 126, 50));
        add("STATIC", "Pixels", UINT(IDC_STATIC), kChild, CRect(132, 40, 177, 48));
        add("STATIC", "Size:", UINT(IDC_STATIC), kChild, CRect(17, 58, 62, 66));
        add("STATIC", "0", IDC_IMAGE_SIZE_NUMBER, kChild | SS_RIGHT, CRect(66, 58, 126, 66));
        add("STATIC", "K", IDC_IMAGE_SIZE_UNIT, kChild, CRect(132, 58, 177, 66));
        add("BUTTON", "Interpolation", UINT(IDC_STATIC), kChild | BS_GROUPBOX, CRect(7, 84, 187, 124));
        add("BUTTON", "Bilinear", IDC_IMAGE_SIZE_BILINEAR, kChild | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON,
            CRect(17, 97, 97, 107));
        add("BUTTON", "Bicubic", IDC_IMAGE_SIZE_BICUBIC, kChild | BS_AUTORADIOBUTTON, CRect(100, 97, 180, 107));
        add("BUTTON", "OK", IDC_IMAGE_SIZE_OK, kChild | WS_TABSTOP | BS_OWNERDRAW, CRect(83, 132, 133, 146));
        add("BUTTON", "Cancel", IDC_IMAGE_SIZE_CANCEL, kChild | WS_TABSTOP | BS_OWNERDRAW, CRect(137, 132, 187, 146));
        RegisterDialogTemplate(IDD_IMAGE_SIZE, t);
        return true;
    }();
    (void)once;
}

// a x b / c in 64 bits; c is never 0 here (a source without pixels is refused).
int MulDivDown(int64_t a, int64_t b, int64_t c)
{
    const int64_t v = c == 0 ? 0 : a * b / c;
    return v > INT_MAX ? INT_MAX : int(v);
}

void SaveDialogPos(CWnd* dlg)
{
    if (dlg->m_hWnd)
        RegSaveWindowRect(dlg->m_hWnd, IDS_REG_PREFERENCE2, IDS_REG_RESIZEDLOGPOS);
}

} // namespace

int CImageSizeDlog::ParseSize(const std::string& digits)
{
    int64_t v = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            continue;
        v = v * 10 + (c - '0');
        if (v > INT_MAX)
            return INT_MAX;
    }
    return int(v);
}

void CImageSizeDlog::ComputeMaxSize(int sourceWidth, int sourceHeight, int& maxWidth, int& maxHeight)
{
    if (sourceWidth <= 0 || sourceHeight <= 0) {
        maxWidth = maxHeight = 0;
        return;
    }
    if (sourceWidth <= sourceHeight) {
        maxHeight = kMaxSide;
        maxWidth = MulDivDown(sourceWidth, kMaxSide, sourceHeight);
    } else {
        maxWidth = kMaxSide;
        maxHeight = MulDivDown(sourceHeight, kMaxSide, sourceWidth);
    }
}

void CImageSizeDlog::FormatMemorySize(int width, int height, int bitCount, std::string& number, std::string& unit)
{
    const uint64_t bytes =
        width > 0 && height > 0 && bitCount > 0 ? DibRowBytes(width, bitCount) * uint64_t(height) : 0;
    double v = double(bytes);
    unit = LoadResString(IDS_UNIT_BYTES);
    char text[64];
    std::snprintf(text, sizeof text, "%.0f", v);
    if (v > 1024) {
        v /= 1024;
        unit = LoadResString(IDS_UNIT_KB);
        std::snprintf(text, sizeof text, "%.0f", v);
        if (v > 1024) {
            unit = LoadResString(IDS_UNIT_MB);
            std::snprintf(text, sizeof text, "%.1f", v / 1024);
        }
    }
    number = text;
}

CImageSizeDlog::CImageSizeDlog(int sourceWidth, int sourceHeight, int width, int height, int interpolation,
                               int bitCount, CWnd* pParent)
    : CDialogEx(IDD_IMAGE_SIZE, pParent), m_strHeight(std::to_string(height)), m_strWidth(std::to_string(width)),
      m_nInterpolationRadio(interpolation), m_nInterpolation(interpolation), m_nBitCount(bitCount),
      m_nSourceWidth(sourceWidth), m_nSourceHeight(sourceHeight)
{
    RegisterImageSizeTemplate();
    ComputeMaxSize(sourceWidth, sourceHeight, m_nMaxWidth, m_nMaxHeight);
    FormatMemorySize(width, height, bitCount, m_strSizeNumber, m_strSizeUnit);
}

INT_PTR CImageSizeDlog::DoModal()
{
    if (m_nSourceWidth <= 0 || m_nSourceHeight <= 0) {
        AfxMessageBox(IDS_IMAGE_SIZE_OUT_OF_RANGE, MB_ICONEXCLAMATION);
        return IDCANCEL;
    }
    return CDialogEx::DoModal();
}

void CImageSizeDlog::DoDataExchange(CDataExchange* pDX)
{
    CDialogEx::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_IMAGE_SIZE_OK, m_wndOK);
    DDX_Control(pDX, IDC_IMAGE_SIZE_CANCEL, m_wndCancel);
    DDX_Text(pDX, IDC_IMAGE_SIZE_NUMBER, m_strSizeNumber);
    DDX_Text(pDX, IDC_IMAGE_SIZE_UNIT, m_strSizeUnit);
    DDX_Text(pDX, IDC_IMAGE_SIZE_HEIGHT, m_strHeight);
    DDX_Text(pDX, IDC_IMAGE_SIZE_WIDTH, m_strWidth);
    DDX_Radio(pDX, IDC_IMAGE_SIZE_BILINEAR, m_nInterpolationRadio);
}

BOOL CImageSizeDlog::OnInitDialog()
{
    m_bFollowing = true;
    CDialogEx::OnInitDialog();
    m_bFollowing = false;
    m_bPlacePending = true;
    m_bInitialised = true;
    return TRUE;
}

void CImageSizeDlog::OnShowWindow(BOOL bShow, UINT nStatus)
{
    CDialogEx::OnShowWindow(bShow, nStatus);
    // The stored place wins over the centring a dialog gets when it first shows.
    if (bShow && m_bPlacePending && m_hWnd) {
        m_bPlacePending = false;
        RegRestoreWindowPos(m_hWnd, IDS_REG_PREFERENCE2, IDS_REG_RESIZEDLOGPOS);
    }
}

void CImageSizeDlog::OnWidthChanged() { FollowSize(true); }

void CImageSizeDlog::OnHeightChanged() { FollowSize(false); }

void CImageSizeDlog::FollowSize(bool widthTyped)
{
    if (!m_bInitialised || m_bFollowing)
        return;
    m_bFollowing = true;
    const UINT typedId = widthTyped ? IDC_IMAGE_SIZE_WIDTH : IDC_IMAGE_SIZE_HEIGHT;
    std::string& typed = widthTyped ? m_strWidth : m_strHeight;
    std::string& other = widthTyped ? m_strHeight : m_strWidth;
    if (auto* edit = dynamic_cast<CEdit*>(GetDlgItem(typedId)))
        KeepDigitsInEdit(this, edit, typed);
    UpdateData(TRUE);
    const int limit = widthTyped ? m_nMaxWidth : m_nMaxHeight;
    int value = ParseSize(typed);
    if (value > limit) {
        value = limit;
        typed = std::to_string(value);
    }
    const int follows = widthTyped ? MulDivDown(value, m_nSourceHeight, m_nSourceWidth)
                                   : MulDivDown(value, m_nSourceWidth, m_nSourceHeight);
    other = std::to_string(follows < 1 ? 1 : follows);
    FormatMemorySize(ParseSize(m_strWidth), ParseSize(m_strHeight), m_nBitCount, m_strSizeNumber, m_strSizeUnit);
    // Only the other fields are written back while the caret stays in the typed one.
    int start = 0, end = 0;
    auto* edit = dynamic_cast<CEdit*>(GetDlgItem(typedId));
    if (edit)
        EditGetSelBytes(edit, start, end);
    UpdateData(FALSE);
    if (edit) {
        const int size = int(typed.size());
        EditSetSelBytes(edit, start < size ? start : size, end < size ? end : size);
    }
    m_bFollowing = false;
}

void CImageSizeDlog::OnOK()
{
    SaveDialogPos(this);
    if (!UpdateData(TRUE))
        return;
    const int width = ParseSize(m_strWidth), height = ParseSize(m_strHeight);
    if ((width > height ? width : height) > kMaxSide) {
        AfxMessageBox(IDS_IMAGE_TOO_LARGE, MB_ICONEXCLAMATION);
        return;
    }
    if (width < kMinSide || height < kMinSide) {
        AfxMessageBox(IDS_IMAGE_SIZE_OUT_OF_RANGE, MB_ICONEXCLAMATION);
        return;
    }
    m_nInterpolation = m_nInterpolationRadio;
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CImageSizeDlog::OnCancel()
{
    SaveDialogPos(this);
    EndDialog(IDCANCEL);
}

#include "platform/framework/controls.h"

#include "platform/framework/paint_dc.h"
#include "platform/framework/tree_ctrl.h"
#include "platform/gdi/gdi_object.h"
#include "platform/framework/wnd_bridge.h"
#include "resources/icon_table.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QApplication>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <map>

IMPLEMENT_DYNAMIC(CStatic, CWnd)
IMPLEMENT_DYNAMIC(CButton, CWnd)
IMPLEMENT_DYNAMIC(CEdit, CWnd)
IMPLEMENT_DYNAMIC(CComboBox, CWnd)
IMPLEMENT_DYNAMIC(CListBox, CWnd)
IMPLEMENT_DYNAMIC(CProgressCtrl, CWnd)
IMPLEMENT_DYNAMIC(CTabCtrl, CWnd)
IMPLEMENT_DYNAMIC(CSliderCtrl, CWnd)
IMPLEMENT_DYNAMIC(CSpinButtonCtrl, CWnd)

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

int IdOf(QWidget* w) { return w->property("qr_ctrlid").toInt(); }

void NotifyCommand(QWidget* w, UINT code)
{
    if (QWidget* parent = w->parentWidget())
        ::SendMessage(parent, WM_COMMAND, MAKEWPARAM(IdOf(w), int(code)), LPARAM(w));
}

void NotifyHeader(QWidget* w, int code)
{
    NMHDR hdr;
    hdr.hwndFrom = w;
    hdr.idFrom = UINT_PTR(IdOf(w));
    hdr.code = code;
    if (QWidget* parent = w->parentWidget())
        ::SendMessage(parent, WM_NOTIFY, WPARAM(hdr.idFrom), LPARAM(&hdr));
}

// The arrows of an up-down control: each click steps the buddy's number.
class UpDownWidget : public QWidget {
public:
    explicit UpDownWidget(QWidget* parent) : QWidget(parent)
    {
        auto* column = new QVBoxLayout(this);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(0);
        for (int step : {1, -1}) {
            auto* b = new QToolButton(this);
            b->setArrowType(step > 0 ? Qt::UpArrow : Qt::DownArrow);
            b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
            b->setObjectName(step > 0 ? "up" : "down");
            column->addWidget(b);
            QObject::connect(b, &QToolButton::clicked, this, [this, step] { Step(step); });
        }
    }
    void Step(int step) { SetPos(Pos() + step); }
    int Pos() const
    {
        auto* e = qobject_cast<QLineEdit*>(buddy.data());
        bool ok = false;
        const int v = e ? e->text().toInt(&ok) : lower;
        return ok ? v : lower;
    }
    void SetPos(int v)
    {
        v = std::clamp(v, std::min(lower, upper), std::max(lower, upper));
        if (auto* e = qobject_cast<QLineEdit*>(buddy.data()); e && e->text() != QString::number(v))
            e->setText(QString::number(v));
    }
    QPointer<QWidget> buddy;
    int lower = 0;
    int upper = 100;
};

UpDownWidget* UpDown(HWND h) { return dynamic_cast<UpDownWidget*>(h); }

// Sends the focus notifications of a control's class.
class FocusNotifier : public QObject {
public:
    FocusNotifier(QWidget* w, UINT setCode, UINT killCode) : QObject(w), m_set(setCode), m_kill(killCode)
    {
        w->installEventFilter(this);
    }
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::FocusIn)
            NotifyCommand(static_cast<QWidget*>(o), m_set);
        else if (e->type() == QEvent::FocusOut)
            NotifyCommand(static_cast<QWidget*>(o), m_kill);
        return false;
    }

private:
    UINT m_set, m_kill;
};

std::map<UINT, QIcon>& Icons()
{
    static std::map<UINT, QIcon> icons;
    return icons;
}

std::map<UINT, QCursor>& Cursors()
{
    static std::map<UINT, QCursor> cursors;
    return cursors;
}

} // namespace

QImage LoadResIconImage(UINT nID)
{
    auto it = Icons().find(nID);
    if (it != Icons().end())
        return it->second.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
    const res::IconPixels* px = res::Icon(nID);
    if (!px || px->width <= 0 || px->height <= 0 || px->height > 32)
        return QImage();
    std::map<char, QRgb> colours;
    std::string_view pal(px->palette);
    while (!pal.empty()) {
        size_t end = pal.find(';');
        std::string_view entry = pal.substr(0, end);
        if (entry.size() >= 3 && entry[1] == '=')
            colours[entry[0]] = entry.substr(2) == "none" ? 0u : (0xFF000000u | std::stoul(std::string(entry.substr(2)), nullptr, 16));
        if (end == std::string_view::npos)
            break;
        pal.remove_prefix(end + 1);
    }
    QImage img(px->width, px->height, QImage::Format_ARGB32);
    img.fill(0);
    for (int y = 0; y < px->height; ++y) {
        std::string_view row(px->rows[y] ? px->rows[y] : "");
        for (int x = 0; x < px->width && x < int(row.size()); ++x) {
            auto c = colours.find(row[size_t(x)]);
            img.setPixel(x, y, c == colours.end() ? 0u : c->second);
        }
    }
    return img;
}

QIcon LoadResIcon(UINT nID)
{
    QImage img = LoadResIconImage(nID);
    return img.isNull() ? QIcon() : QIcon(QPixmap::fromImage(img));
}

BOOL DrawImageTransparent(CDC* pDC, int x, int y, const QImage& img)
{
    if (!pDC || img.isNull())
        return FALSE;
    // As icons are drawn: the mask clears the opaque pixels, the colours are then OR-ed in.
    QImage mask(img.size(), QImage::Format_RGB32), colour(img.size(), QImage::Format_RGB32);
    for (int yy = 0; yy < img.height(); ++yy)
        for (int xx = 0; xx < img.width(); ++xx) {
            QRgb p = img.pixel(xx, yy);
            bool opaque = qAlpha(p) >= 128;
            mask.setPixel(xx, yy, opaque ? 0xFF000000u : 0xFFFFFFFFu);
            colour.setPixel(xx, yy, opaque ? (p | 0xFF000000u) : 0xFF000000u);
        }
    pDC->StretchImage(x, y, img.width(), img.height(), mask, 0, 0, img.width(), img.height(), SRCAND);
    pDC->StretchImage(x, y, img.width(), img.height(), colour, 0, 0, img.width(), img.height(), SRCPAINT);
    return TRUE;
}

BOOL DrawResIcon(CDC* pDC, int x, int y, UINT nID, CSize fit)
{
    QImage img = LoadResIconImage(nID);
    if (fit.cx > 0 && fit.cy > 0 && !img.isNull() && (img.width() > fit.cx || img.height() > fit.cy))
        img = img.scaled(int(fit.cx), int(fit.cy), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return DrawImageTransparent(pDC, x, y, img);
}

void RegisterResIcon(UINT nID, const QIcon& icon) { Icons()[nID] = icon; }

void RegisterResCursor(UINT nID, const QCursor& cursor) { Cursors()[nID] = cursor; }

bool HasResCursor(UINT nID) { return Cursors().count(nID) != 0 || !LoadResIconImage(nID).isNull(); }

QCursor LoadResCursor(UINT nID)
{
    auto it = Cursors().find(nID);
    if (it != Cursors().end())
        return it->second;
    const QImage image = LoadResIconImage(nID);
    if (image.isNull())
        return QCursor();
    return QCursor(QPixmap::fromImage(image), image.width() / 2, image.height() / 2);
}

QWidget* CreateControlWidget(const std::string& className, DWORD style, QWidget* parent)
{
    const UINT type = style & BS_TYPEMASK;
    if (className == "BUTTON") {
        if (type == BS_GROUPBOX)
            return new QGroupBox(parent);
        QAbstractButton* b = nullptr;
        if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE) {
            auto* c = new QCheckBox(parent);
            c->setTristate(type == BS_3STATE || type == BS_AUTO3STATE);
            b = c;
        } else if (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON) {
            auto* r = new QRadioButton(parent);
            r->setAutoExclusive(false);
            b = r;
        } else {
            auto* p = new QPushButton(parent);
            p->setDefault(type == BS_DEFPUSHBUTTON);
            p->setAutoDefault(false);
            b = p;
        }
        QObject::connect(b, &QAbstractButton::clicked, b, [b]() { NotifyCommand(b, BN_CLICKED); });
        new FocusNotifier(b, BN_SETFOCUS, BN_KILLFOCUS);
        return b;
    }
    if (className == "STATIC") {
        auto* l = new QLabel(parent);
        // A label shows its text as it is: a file name is never taken for markup.
        l->setTextFormat(Qt::PlainText);
        int align = style & 0x3;
        l->setAlignment((align == SS_CENTER ? Qt::AlignHCenter : align == SS_RIGHT ? Qt::AlignRight : Qt::AlignLeft) |
                        (style & SS_CENTERIMAGE ? Qt::AlignVCenter : Qt::AlignTop));
        if (style & SS_SUNKEN)
            l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        // A vertically centred text is one line.
        l->setWordWrap(align != SS_ICON && !(style & SS_CENTERIMAGE));
        return l;
    }
    if (className == "EDIT") {
        if (style & ES_MULTILINE) {
            auto* e = new QPlainTextEdit(parent);
            e->setReadOnly(style & ES_READONLY);
            QObject::connect(e, &QPlainTextEdit::textChanged, e, [e]() { NotifyCommand(e, EN_CHANGE); });
            new FocusNotifier(e, EN_SETFOCUS, EN_KILLFOCUS);
            return e;
        }
        auto* e = new QLineEdit(parent);
        e->setReadOnly(style & ES_READONLY);
        if (style & ES_PASSWORD)
            e->setEchoMode(QLineEdit::Password);
        QObject::connect(e, &QLineEdit::textChanged, e, [e]() { NotifyCommand(e, EN_CHANGE); });
        new FocusNotifier(e, EN_SETFOCUS, EN_KILLFOCUS);
        return e;
    }
    if (className == "COMBOBOX") {
        auto* c = new QComboBox(parent);
        c->setEditable((style & 0x3) == CBS_DROPDOWN);
        QObject::connect(c, &QComboBox::activated, c, [c]() { NotifyCommand(c, CBN_SELCHANGE); });
        new FocusNotifier(c, CBN_SETFOCUS, CBN_KILLFOCUS);
        return c;
    }
    if (className == "LISTBOX") {
        auto* l = new QListWidget(parent);
        QObject::connect(l, &QListWidget::currentRowChanged, l, [l]() { NotifyCommand(l, LBN_SELCHANGE); });
        QObject::connect(l, &QListWidget::itemDoubleClicked, l, [l]() { NotifyCommand(l, LBN_DBLCLK); });
        return l;
    }
    if (className == "msctls_progress32") {
        auto* p = new QProgressBar(parent);
        p->setTextVisible(false);
        p->setRange(0, 100);
        p->setValue(0);
        return p;
    }
    if (className == "msctls_trackbar32") {
        auto* s = new QSlider(Qt::Horizontal, parent);
        // Changes made in code block the signal: every change seen here is the user's.
        QObject::connect(s, &QSlider::valueChanged, s, [s](int value) {
            if (QWidget* parent = s->parentWidget())
                ::SendMessage(parent, WM_HSCROLL, MAKEWPARAM(int(TB_THUMBTRACK), value), LPARAM(s));
        });
        QObject::connect(s, &QSlider::sliderReleased, s, [s] {
            if (QWidget* parent = s->parentWidget())
                ::SendMessage(parent, WM_HSCROLL, MAKEWPARAM(int(TB_ENDTRACK), s->value()), LPARAM(s));
        });
        return s;
    }
    if (className == "msctls_updown32")
        return new UpDownWidget(parent);
    if (className == "SysTreeView32")
        return CreateTreeWidget(style, parent);
    if (className == "SysTabControl32") {
        auto* t = new QTabBar(parent);
        t->setDrawBase(false);
        t->setExpanding(false);
        QObject::connect(t, &QTabBar::currentChanged, t, [t]() { NotifyHeader(t, TCN_SELCHANGE); });
        return t;
    }
    return new CWndWidget(parent);
}

// ---------------------------------------------------------------------------

HWND CStatic::CreateWidget(const CREATESTRUCT& cs, QWidget* parent) { return CreateControlWidget("STATIC", cs.style, parent); }

BOOL CStatic::Create(const std::string& text, DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID)
{
    return CWnd::Create("STATIC", text, dwStyle | WS_CHILD, rect, pParent, nID);
}

void CStatic::SetIcon(UINT nIconId)
{
    m_nIcon = nIconId;
    if (auto* l = qobject_cast<QLabel*>(m_hWnd)) {
        QIcon icon = LoadResIcon(nIconId);
        l->setPixmap(icon.isNull() ? QPixmap() : icon.pixmap(32, 32));
    }
}

void CStatic::SetWidgetText(const std::string& text)
{
    if (auto* l = qobject_cast<QLabel*>(m_hWnd))
        l->setText(Q(text));
}

std::string CStatic::GetWidgetText() const
{
    if (auto* l = qobject_cast<QLabel*>(m_hWnd))
        return l->text().toStdString();
    return CWnd::GetWidgetText();
}

// ---------------------------------------------------------------------------

HWND CButton::CreateWidget(const CREATESTRUCT& cs, QWidget* parent) { return CreateControlWidget("BUTTON", cs.style, parent); }

BOOL CButton::Create(const std::string& caption, DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID)
{
    return CWnd::Create("BUTTON", caption, dwStyle | WS_CHILD, rect, pParent, nID);
}

void CButton::SetWidgetText(const std::string& text)
{
    if (auto* b = qobject_cast<QAbstractButton*>(m_hWnd))
        b->setText(Q(text));
    else if (auto* g = qobject_cast<QGroupBox*>(m_hWnd))
        g->setTitle(Q(text));
}

std::string CButton::GetWidgetText() const
{
    if (auto* b = qobject_cast<QAbstractButton*>(m_hWnd))
        return b->text().toStdString();
    if (auto* g = qobject_cast<QGroupBox*>(m_hWnd))
        return g->title().toStdString();
    return CWnd::GetWidgetText();
}

int CButton::GetCheck() const
{
    if (auto* c = qobject_cast<QCheckBox*>(m_hWnd))
        return c->checkState() == Qt::Checked ? BST_CHECKED : c->checkState() == Qt::PartiallyChecked ? BST_INDETERMINATE : BST_UNCHECKED;
    if (auto* b = qobject_cast<QAbstractButton*>(m_hWnd))
        return b->isChecked() ? BST_CHECKED : BST_UNCHECKED;
    return BST_UNCHECKED;
}

void CButton::SetCheck(int nCheck)
{
    if (auto* c = qobject_cast<QCheckBox*>(m_hWnd))
        c->setCheckState(nCheck == BST_CHECKED ? Qt::Checked : nCheck == BST_INDETERMINATE ? Qt::PartiallyChecked : Qt::Unchecked);
    else if (auto* b = qobject_cast<QAbstractButton*>(m_hWnd); b && b->isCheckable())
        b->setChecked(nCheck == BST_CHECKED);
}

UINT CButton::GetState() const
{
    UINT s = UINT(GetCheck());
    if (auto* b = qobject_cast<QAbstractButton*>(m_hWnd)) {
        if (b->isDown())
            s |= BST_PUSHED;
        if (b->hasFocus())
            s |= BST_FOCUS;
    }
    return s;
}

void CButton::SetButtonStyle(UINT nStyle, BOOL bRedraw)
{
    m_dwStyle = (m_dwStyle & ~0xFFFFu) | (nStyle & 0xFFFF);
    if (bRedraw)
        Invalidate();
}

UINT CButton::SetIcon(UINT nIconId)
{
    UINT old = m_nIcon;
    m_nIcon = nIconId;
    if ((GetButtonStyle() & BS_TYPEMASK) != BS_OWNERDRAW)
        if (auto* b = qobject_cast<QAbstractButton*>(m_hWnd))
            b->setIcon(LoadResIcon(nIconId));
    Invalidate();
    return old;
}

void CButton::Click()
{
    if (auto* b = qobject_cast<QAbstractButton*>(m_hWnd))
        b->click();
}

void CButton::OnPaint()
{
    if ((GetButtonStyle() & BS_TYPEMASK) != BS_OWNERDRAW) {
        Default();
        return;
    }
    CPaintDC dc(this);
    DRAWITEMSTRUCT dis;
    dis.CtlType = ODT_BUTTON;
    dis.CtlID = UINT(GetDlgCtrlID());
    dis.hwndItem = m_hWnd;
    dis.pDC = dc.GetDC();
    dis.painter = dc.Painter();
    GetClientRect(&dis.rcItem);
    auto* b = qobject_cast<QAbstractButton*>(m_hWnd);
    if (b && b->isDown())
        dis.itemState |= ODS_SELECTED;
    if (!IsWindowEnabled())
        dis.itemState |= ODS_DISABLED;
    if (m_hWnd->hasFocus())
        dis.itemState |= ODS_FOCUS;
    DrawItem(&dis);
}

// ---------------------------------------------------------------------------

HWND CEdit::CreateWidget(const CREATESTRUCT& cs, QWidget* parent) { return CreateControlWidget("EDIT", cs.style, parent); }

BOOL CEdit::Create(DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID)
{
    return CWnd::Create("EDIT", "", dwStyle | WS_CHILD, rect, pParent, nID);
}

void CEdit::SetWidgetText(const std::string& text)
{
    if (auto* e = qobject_cast<QLineEdit*>(m_hWnd))
        e->setText(Q(text));
    else if (auto* p = qobject_cast<QPlainTextEdit*>(m_hWnd))
        p->setPlainText(Q(text));
}

std::string CEdit::GetWidgetText() const
{
    if (auto* e = qobject_cast<QLineEdit*>(m_hWnd))
        return e->text().toStdString();
    if (auto* p = qobject_cast<QPlainTextEdit*>(m_hWnd))
        return p->toPlainText().toStdString();
    return CWnd::GetWidgetText();
}

void CEdit::GetSel(int& nStart, int& nEnd) const
{
    nStart = nEnd = 0;
    if (auto* e = qobject_cast<QLineEdit*>(m_hWnd)) {
        if (e->hasSelectedText()) {
            nStart = e->selectionStart();
            nEnd = e->selectionEnd();
        } else {
            nStart = nEnd = e->cursorPosition();
        }
    } else if (auto* p = qobject_cast<QPlainTextEdit*>(m_hWnd)) {
        QTextCursor c = p->textCursor();
        nStart = c.selectionStart();
        nEnd = c.selectionEnd();
    }
}

DWORD CEdit::GetSel() const
{
    int s, e;
    GetSel(s, e);
    return MAKELONG(WORD(s), WORD(e));
}

void CEdit::SetSel(int nStart, int nEnd, BOOL)
{
    if (auto* e = qobject_cast<QLineEdit*>(m_hWnd)) {
        int len = int(e->text().size());
        if (nStart < 0) {
            e->deselect();
            return;
        }
        if (nEnd < 0 || nEnd > len)
            nEnd = len;
        nStart = std::min(nStart, len);
        e->setSelection(nStart, nEnd - nStart);
    } else if (auto* p = qobject_cast<QPlainTextEdit*>(m_hWnd)) {
        QTextCursor c = p->textCursor();
        int len = p->document()->characterCount() - 1;
        c.setPosition(std::clamp(nStart, 0, len));
        c.setPosition(nEnd < 0 ? len : std::clamp(nEnd, 0, len), QTextCursor::KeepAnchor);
        p->setTextCursor(c);
    }
}

void CEdit::ReplaceSel(const std::string& text, BOOL)
{
    if (auto* e = qobject_cast<QLineEdit*>(m_hWnd))
        e->insert(Q(text));
    else if (auto* p = qobject_cast<QPlainTextEdit*>(m_hWnd))
        p->insertPlainText(Q(text));
}

void CEdit::LimitText(int nChars)
{
    if (auto* e = qobject_cast<QLineEdit*>(m_hWnd))
        e->setMaxLength(nChars > 0 ? nChars : 32767);
}

BOOL CEdit::SetReadOnly(BOOL bReadOnly)
{
    if (bReadOnly)
        m_dwStyle |= ES_READONLY;
    else
        m_dwStyle &= ~DWORD(ES_READONLY);
    if (auto* e = qobject_cast<QLineEdit*>(m_hWnd))
        e->setReadOnly(bReadOnly);
    else if (auto* p = qobject_cast<QPlainTextEdit*>(m_hWnd))
        p->setReadOnly(bReadOnly);
    return TRUE;
}

void CEdit::Cut()
{
    if (auto* e = qobject_cast<QLineEdit*>(m_hWnd))
        e->cut();
    else if (auto* p = qobject_cast<QPlainTextEdit*>(m_hWnd))
        p->cut();
}

void CEdit::Copy()
{
    if (auto* e = qobject_cast<QLineEdit*>(m_hWnd))
        e->copy();
    else if (auto* p = qobject_cast<QPlainTextEdit*>(m_hWnd))
        p->copy();
}

void CEdit::Paste()
{
    if (auto* e = qobject_cast<QLineEdit*>(m_hWnd))
        e->paste();
    else if (auto* p = qobject_cast<QPlainTextEdit*>(m_hWnd))
        p->paste();
}

void CEdit::Clear() { ReplaceSel({}); }

BOOL CEdit::CanUndo() const
{
    if (auto* e = qobject_cast<QLineEdit*>(m_hWnd))
        return e->isUndoAvailable();
    if (auto* p = qobject_cast<QPlainTextEdit*>(m_hWnd))
        return p->document()->isUndoAvailable();
    return FALSE;
}

BOOL CEdit::Undo()
{
    if (!CanUndo())
        return FALSE;
    if (auto* e = qobject_cast<QLineEdit*>(m_hWnd))
        e->undo();
    else if (auto* p = qobject_cast<QPlainTextEdit*>(m_hWnd))
        p->undo();
    return TRUE;
}

// ---------------------------------------------------------------------------

namespace {
QSlider* Slider(HWND h) { return qobject_cast<QSlider*>(h); }
} // namespace

HWND CSliderCtrl::CreateWidget(const CREATESTRUCT& cs, QWidget* parent)
{
    return CreateControlWidget("msctls_trackbar32", cs.style, parent);
}

BOOL CSliderCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID)
{
    return CWnd::Create("msctls_trackbar32", "", dwStyle | WS_CHILD, rect, pParent, nID);
}

void CSliderCtrl::SetRange(int nMin, int nMax, BOOL)
{
    if (QSlider* s = Slider(m_hWnd)) {
        QSignalBlocker block(s);
        s->setRange(nMin, nMax);
    }
}

void CSliderCtrl::SetPos(int nPos)
{
    if (QSlider* s = Slider(m_hWnd)) {
        QSignalBlocker block(s);
        s->setValue(nPos);
    }
}

int CSliderCtrl::GetPos() const { return Slider(m_hWnd) ? Slider(m_hWnd)->value() : 0; }

// ---------------------------------------------------------------------------

HWND CComboBox::CreateWidget(const CREATESTRUCT& cs, QWidget* parent) { return CreateControlWidget("COMBOBOX", cs.style, parent); }

BOOL CComboBox::Create(DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID)
{
    return CWnd::Create("COMBOBOX", "", dwStyle | WS_CHILD, rect, pParent, nID);
}

namespace {
QComboBox* Combo(HWND h) { return qobject_cast<QComboBox*>(h); }
QListWidget* List(HWND h) { return qobject_cast<QListWidget*>(h); }
} // namespace

int CComboBox::AddString(const std::string& text)
{
    QComboBox* c = Combo(m_hWnd);
    if (!c)
        return -1;
    QSignalBlocker block(c);
    c->addItem(Q(text));
    return c->count() - 1;
}

void CComboBox::ResetContent()
{
    if (QComboBox* c = Combo(m_hWnd))
        c->clear();
}

int CComboBox::GetCount() const { return Combo(m_hWnd) ? Combo(m_hWnd)->count() : 0; }
int CComboBox::GetCurSel() const { return Combo(m_hWnd) ? Combo(m_hWnd)->currentIndex() : -1; }

int CComboBox::SetCurSel(int nSelect)
{
    QComboBox* c = Combo(m_hWnd);
    if (!c || nSelect >= c->count())
        return -1;
    c->setCurrentIndex(nSelect);
    return nSelect;
}

int CComboBox::SetItemData(int nIndex, DWORD_PTR data)
{
    QComboBox* c = Combo(m_hWnd);
    if (!c || nIndex < 0 || nIndex >= c->count())
        return -1;
    c->setItemData(nIndex, QVariant::fromValue<qulonglong>(data));
    return 0;
}

DWORD_PTR CComboBox::GetItemData(int nIndex) const
{
    QComboBox* c = Combo(m_hWnd);
    return c && nIndex >= 0 && nIndex < c->count() ? DWORD_PTR(c->itemData(nIndex).toULongLong()) : 0;
}

void CComboBox::SetWidgetText(const std::string& text)
{
    if (QComboBox* c = Combo(m_hWnd); c && c->isEditable())
        c->setEditText(Q(text));
}

std::string CComboBox::GetWidgetText() const
{
    QComboBox* c = Combo(m_hWnd);
    return c ? c->currentText().toStdString() : std::string();
}

// ---------------------------------------------------------------------------

HWND CListBox::CreateWidget(const CREATESTRUCT& cs, QWidget* parent) { return CreateControlWidget("LISTBOX", cs.style, parent); }

BOOL CListBox::Create(DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID)
{
    return CWnd::Create("LISTBOX", "", dwStyle | WS_CHILD, rect, pParent, nID);
}

int CListBox::AddString(const std::string& text)
{
    QListWidget* l = List(m_hWnd);
    if (!l)
        return -1;
    l->addItem(Q(text));
    return l->count() - 1;
}

void CListBox::ResetContent()
{
    if (QListWidget* l = List(m_hWnd))
        l->clear();
}

int CListBox::GetCount() const { return List(m_hWnd) ? List(m_hWnd)->count() : 0; }
int CListBox::GetCurSel() const { return List(m_hWnd) ? List(m_hWnd)->currentRow() : -1; }

int CListBox::SetCurSel(int nSelect)
{
    QListWidget* l = List(m_hWnd);
    if (!l || nSelect >= l->count())
        return -1;
    QSignalBlocker block(l);
    l->setCurrentRow(nSelect);
    return nSelect;
}

int CListBox::SetItemData(int nIndex, DWORD_PTR data)
{
    QListWidget* l = List(m_hWnd);
    if (!l || nIndex < 0 || nIndex >= l->count())
        return -1;
    l->item(nIndex)->setData(Qt::UserRole, QVariant::fromValue<qulonglong>(data));
    return 0;
}

DWORD_PTR CListBox::GetItemData(int nIndex) const
{
    QListWidget* l = List(m_hWnd);
    return l && nIndex >= 0 && nIndex < l->count() ? DWORD_PTR(l->item(nIndex)->data(Qt::UserRole).toULongLong()) : 0;
}

// ---------------------------------------------------------------------------

HWND CProgressCtrl::CreateWidget(const CREATESTRUCT& cs, QWidget* parent)
{
    return CreateControlWidget("msctls_progress32", cs.style, parent);
}

BOOL CProgressCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID)
{
    return CWnd::Create("msctls_progress32", "", dwStyle | WS_CHILD, rect, pParent, nID);
}

LRESULT CProgressCtrl::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* p = qobject_cast<QProgressBar*>(m_hWnd);
    if (!p)
        return CWnd::WindowProc(msg, wParam, lParam);
    switch (msg) {
    case PBM_SETRANGE: {
        LRESULT old = MAKELPARAM(p->minimum(), p->maximum());
        p->setRange(int16_t(LOWORD(DWORD(lParam))), int16_t(HIWORD(DWORD(lParam))));
        return old;
    }
    case PBM_SETRANGE32: {
        LRESULT old = MAKELPARAM(p->minimum(), p->maximum());
        p->setRange(int(wParam), int(lParam));
        return old;
    }
    case PBM_SETPOS: {
        int old = p->value();
        p->setValue(std::clamp(int(wParam), p->minimum(), p->maximum()));
        return old;
    }
    case PBM_DELTAPOS: {
        int old = p->value();
        p->setValue(std::clamp(old + int(wParam), p->minimum(), p->maximum()));
        return old;
    }
    case PBM_SETSTEP: return std::exchange(m_nStep, int(wParam));
    case PBM_STEPIT: {
        int old = p->value();
        int next = old + m_nStep;
        // The bar wraps round at the end, as the control does.
        if (next > p->maximum())
            next = p->minimum() + (next - p->maximum());
        p->setValue(std::clamp(next, p->minimum(), p->maximum()));
        return old;
    }
    case PBM_GETPOS: return p->value();
    case PBM_SETBKCOLOR: {
        const COLORREF old = std::exchange(m_crBack, COLORREF(lParam));
        QPalette palette = p->palette();
        const QColor back = m_crBack == CLR_DEFAULT ? QApplication::palette(p).color(QPalette::Base) : ToQColor(m_crBack);
        palette.setColor(QPalette::Base, back);
        palette.setColor(QPalette::Window, back);
        p->setPalette(palette);
        return old;
    }
    default: return CWnd::WindowProc(msg, wParam, lParam);
    }
}

int CProgressCtrl::GetPos() const
{
    auto* p = qobject_cast<QProgressBar*>(m_hWnd);
    return p ? p->value() : 0;
}

// ---------------------------------------------------------------------------

HWND CTabCtrl::CreateWidget(const CREATESTRUCT& cs, QWidget* parent) { return CreateControlWidget("SysTabControl32", cs.style, parent); }

BOOL CTabCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID)
{
    return CWnd::Create("SysTabControl32", "", dwStyle | WS_CHILD, rect, pParent, nID);
}

QTabBar* CTabCtrl::TabBar() const { return qobject_cast<QTabBar*>(m_hWnd); }

int CTabCtrl::InsertItem(int nItem, const std::string& text, LPARAM lParam)
{
    QTabBar* t = TabBar();
    if (!t)
        return -1;
    QSignalBlocker block(t);
    int at = t->insertTab(nItem < 0 ? t->count() : nItem, Q(text));
    t->setTabData(at, QVariant::fromValue<qlonglong>(lParam));
    return at;
}

BOOL CTabCtrl::GetItem(int nItem, TCITEM* pItem) const
{
    QTabBar* t = TabBar();
    if (!t || !pItem || nItem < 0 || nItem >= t->count())
        return FALSE;
    if (pItem->mask & TCIF_TEXT)
        pItem->pszText = t->tabText(nItem).toStdString();
    if (pItem->mask & TCIF_PARAM)
        pItem->lParam = LPARAM(t->tabData(nItem).toLongLong());
    return TRUE;
}

BOOL CTabCtrl::SetItem(int nItem, const TCITEM* pItem)
{
    QTabBar* t = TabBar();
    if (!t || !pItem || nItem < 0 || nItem >= t->count())
        return FALSE;
    if (pItem->mask & TCIF_TEXT)
        t->setTabText(nItem, Q(pItem->pszText));
    if (pItem->mask & TCIF_PARAM)
        t->setTabData(nItem, QVariant::fromValue<qlonglong>(pItem->lParam));
    t->update();
    return TRUE;
}

BOOL CTabCtrl::DeleteItem(int nItem)
{
    QTabBar* t = TabBar();
    if (!t || nItem < 0 || nItem >= t->count())
        return FALSE;
    t->removeTab(nItem);
    return TRUE;
}

BOOL CTabCtrl::DeleteAllItems()
{
    QTabBar* t = TabBar();
    if (!t)
        return FALSE;
    QSignalBlocker block(t);
    while (t->count())
        t->removeTab(0);
    return TRUE;
}

int CTabCtrl::GetItemCount() const { return TabBar() ? TabBar()->count() : 0; }
int CTabCtrl::GetCurSel() const { return TabBar() ? TabBar()->currentIndex() : -1; }

int CTabCtrl::SetCurSel(int nItem)
{
    QTabBar* t = TabBar();
    if (!t || nItem < 0 || nItem >= t->count())
        return -1;
    int old = t->currentIndex();
    QSignalBlocker block(t); // a selection made in code sends no notification
    t->setCurrentIndex(nItem);
    return old;
}

BOOL CTabCtrl::GetItemRect(int nItem, RECT* lpRect) const
{
    QTabBar* t = TabBar();
    if (!t || nItem < 0 || nItem >= t->count())
        return FALSE;
    QRect r = t->tabRect(nItem);
    *lpRect = CRect(r.left(), r.top(), r.left() + r.width(), r.top() + r.height());
    return TRUE;
}

BOOL CTabCtrl::OnEraseBkgnd(CDC*) { return FALSE; }

void CTabCtrl::OnPaint()
{
    if (!(GetStyle() & TCS_OWNERDRAWFIXED)) {
        Default();
        return;
    }
    CPaintDC dc(this);
    OnEraseBkgnd(&dc);
    for (int i = 0; i < GetItemCount(); ++i) {
        DRAWITEMSTRUCT dis;
        dis.CtlType = ODT_TAB;
        dis.CtlID = UINT(GetDlgCtrlID());
        dis.itemID = UINT(i);
        dis.hwndItem = m_hWnd;
        dis.pDC = dc.GetDC();
        dis.painter = dc.Painter();
        GetItemRect(i, &dis.rcItem);
        if (i == GetCurSel())
            dis.itemState |= ODS_SELECTED;
        TCITEM item;
        item.mask = TCIF_PARAM;
        GetItem(i, &item);
        dis.itemData = item.lParam;
        DrawItem(&dis);
    }
}

// ---------------------------------------------------------------------------

HWND CSpinButtonCtrl::CreateWidget(const CREATESTRUCT& cs, QWidget* parent)
{
    return CreateControlWidget("msctls_updown32", cs.style, parent);
}

BOOL CSpinButtonCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID)
{
    return CWnd::Create("msctls_updown32", "", dwStyle | WS_CHILD, rect, pParent, nID);
}

void CSpinButtonCtrl::SetBuddy(CWnd* pBuddy)
{
    if (UpDownWidget* w = UpDown(m_hWnd))
        w->buddy = pBuddy ? pBuddy->m_hWnd : nullptr;
}

void CSpinButtonCtrl::SetRange(int nLower, int nUpper)
{
    if (UpDownWidget* w = UpDown(m_hWnd)) {
        w->lower = nLower;
        w->upper = nUpper;
    }
}

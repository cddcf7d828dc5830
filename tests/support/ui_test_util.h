#pragma once

#include "platform/framework/dialog.h"
#include "platform/framework/menu.h"
#include "platform/framework/message_box.h"
#include "platform/gdi/dc.h"
#include "platform/types.h"

#include <QApplication>
#include <QColor>
#include <QCursor>
#include <QDeadlineTimer>
#include <QDir>
#include <QImage>
#include <QMouseEvent>
#include <QProcess>
#include <QTimer>
#include <QWidget>

#include <filesystem>
#include <cctype>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace uitest {

inline void Mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    QPointF global = w->mapToGlobal(QPointF(at));
    Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    if (type == QEvent::MouseMove)
        button = Qt::NoButton;
    QMouseEvent e(type, QPointF(at), global, button, held, {});
    QApplication::sendEvent(w, &e);
}

inline void Click(QWidget* w, QPoint at)
{
    Mouse(w, QEvent::MouseButtonPress, at);
    Mouse(w, QEvent::MouseButtonRelease, at);
}

// Handles events until the condition holds. Returns as soon as it does; the
// bound is generous because sanitizers and parallel tests slow everything,
// and only a broken test ever reaches it. The tick wakes the wait for a
// condition that changes without an event (another thread's flag).
template <class F> bool WaitFor(F cond, int timeoutMs = 30000)
{
    QDeadlineTimer deadline(timeoutMs);
    QTimer tick;
    tick.start(5);
    while (!cond()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Keeps the cursor away from every window while it lives and puts it there
// again when it goes, so that a test that moves the cursor leaves no hover
// state for the next one, and a test under it finds none from the last.
// A menu with one entry opened over the window and closed without a choice.
inline bool OpenAndCloseMenu(CWnd* owner, UINT id, const std::string& text)
{
    CMenu::SetChooser([](CMenu*) -> UINT { return 0; });
    CMenu popup;
    const bool made = popup.CreatePopupMenu();
    if (made) {
        popup.AppendMenu(MF_STRING, id, text);
        popup.TrackPopupMenu(TPM_RETURNCMD, 0, 0, owner);
    }
    CMenu::SetChooser(nullptr);
    return made;
}

struct CursorParking {
    CursorParking() { Park(); }
    ~CursorParking() { Park(); }
    CursorParking(const CursorParking&) = delete;
    CursorParking& operator=(const CursorParking&) = delete;
    static void Park()
    {
        QCursor::setPos(5000, 5000);
        QCoreApplication::processEvents();
    }
};

// The widget as it paints now.
inline QImage Grab(QWidget* w)
{
    QImage img(w->size(), QImage::Format_RGB32);
    img.fill(Qt::magenta);
    w->render(&img);
    return img;
}

// A 32-bit memory bitmap selected into a context, filled with one colour.
struct MemoryCanvas {
    MemoryCanvas(int w, int h, COLORREF fill)
    {
        dc.CreateCompatibleDC(nullptr);
        bitmap.CreateBitmap(w, h, 1, 32, nullptr);
        dc.SelectObject(&bitmap);
        dc.FillSolidRect(0, 0, w, h, fill);
    }
    COLORREF At(int x, int y) const { return FromQColor(QColor(bitmap.m_hObject->image.pixel(x, y))); }
    CDC dc;
    CBitmap bitmap;
};

inline COLORREF Pixel(const QImage& img, int x, int y)
{
    QRgb p = img.pixel(x, y);
    return RGB(qRed(p), qGreen(p), qBlue(p));
}

// Every message box shown while it lives, each answered with `answer`; the
// handler before it comes back when it goes.
struct RecordedBoxes {
    RecordedBoxes()
    {
        previous = SetMessageBoxHandler([this](const std::string& text, UINT, UINT) {
            texts.push_back(text);
            return answer;
        });
    }
    ~RecordedBoxes() { SetMessageBoxHandler(previous); }
    RecordedBoxes(const RecordedBoxes&) = delete;
    RecordedBoxes& operator=(const RecordedBoxes&) = delete;
    std::vector<std::string> texts;
    int answer = IDOK;
    MessageBoxHandler previous;
};

// Runs the dialog modally: `during` acts while it is up, then the dialog ends
// with `end` unless it has ended (or hidden itself) already.
inline INT_PTR RunModal(CDialog& dlg, std::function<void()> during, int end = IDCANCEL)
{
    CDialog::SetModalObserver([&dlg, during, end](CDialog*) {
        during();
        if (dlg.m_hWnd && dlg.m_hWnd->isVisible())
            dlg.EndDialog(end);
    });
    const INT_PTR result = dlg.DoModal();
    CDialog::SetModalObserver(nullptr);
    return result;
}

// Whether the dialog is still up.
inline bool IsUp(CDialog& dlg) { return dlg.m_hWnd && dlg.m_hWnd->isVisible(); }

// The pages of a PDF as pictures at the resolution, read back with pdftoppm.
inline std::vector<QImage> RenderPdf(const std::filesystem::path& pdf, int dpi)
{
    const std::string prefix = (pdf.parent_path() / "page").string();
    QProcess p;
    p.start("pdftoppm", {"-r", QString::number(dpi), "-png", QString::fromStdString(pdf.string()),
                         QString::fromStdString(prefix)});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {};
    std::vector<QImage> pages;
    QStringList files = QDir(QString::fromStdString(pdf.parent_path().string())).entryList({"page-*.png"}, QDir::Files, QDir::Name);
    for (const QString& f : files)
        pages.emplace_back(QString::fromStdString((pdf.parent_path() / f.toStdString()).string()));
    return pages;
}

// What is wrong with the keyboard letters of a menu and of every popup in it:
// an entry without its own "&" letter, or a letter two entries of one level
// share (the key then only highlights). One line per fault, naming the path.
inline std::vector<std::string> MnemonicFaults(const CMenu& menu, const std::string& path = {})
{
    std::vector<std::string> faults;
    std::map<char, std::string> taken;
    for (const CMenu::Item& item : menu.Items()) {
        if (item.flags & MF_SEPARATOR)
            continue;
        const std::string label = item.text.substr(0, item.text.find('\t'));
        const std::string here = path + "/" + label;
        char letter = 0;
        for (size_t i = 0; i + 1 < label.size(); ++i) {
            if (label[i] != '&')
                continue;
            if (label[i + 1] == '&') {
                ++i;
                continue;
            }
            letter = char(std::tolower(static_cast<unsigned char>(label[i + 1])));
            break;
        }
        if (!letter)
            faults.push_back(here + ": no letter");
        else if (!taken.emplace(letter, label).second)
            faults.push_back(here + ": '" + letter + "' is also " + taken[letter]);
        if (item.popup) {
            const std::vector<std::string> inner = MnemonicFaults(*item.popup, here);
            faults.insert(faults.end(), inner.begin(), inner.end());
        }
    }
    return faults;
}

} // namespace uitest

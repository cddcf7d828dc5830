#include "platform/framework/message_box.h"

#include "resources/string_table.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>

#include <utility>
#include <vector>

namespace {

// The close button and borders a window manager adds to a title bar.
constexpr int kTitleBarButtonsPx = 48;

MessageBoxHandler& Handler()
{
    static MessageBoxHandler handler;
    return handler;
}

// A box sized for a short text is narrower than its title, which the window
// manager then cuts ("Qui...ayo"): the box is made wide enough for the title
// in a bold face, with room for the title bar's icon and close button.
void KeepTitleWhole(QMessageBox& box)
{
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid)
        return;
    QFont bold = box.font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    const int width = metrics.horizontalAdvance(box.windowTitle()) + 4 * metrics.height() + kTitleBarButtonsPx;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

} // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler)
{
    return std::exchange(Handler(), std::move(handler));
}

int AfxMessageBox(const std::string& text, UINT type, UINT helpId)
{
    if (Handler())
        return Handler()(text, type, helpId);
    return ShowQtMessageBox(text, type);
}

int AfxMessageBox(UINT stringId, UINT type, UINT helpId)
{
    return AfxMessageBox(std::string(res::String(stringId)), type, helpId == UINT(-1) ? stringId : helpId);
}

int ShowQtMessageBox(const std::string& text, UINT type)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QApplication::applicationName());
    box.setText(QString::fromStdString(text));
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONEXCLAMATION: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONASTERISK: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    struct Button {
        QMessageBox::StandardButton qt;
        int id;
    };
    std::vector<Button> buttons;
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: buttons = {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}}; break;
    case MB_ABORTRETRYIGNORE:
        buttons = {{QMessageBox::Abort, IDABORT}, {QMessageBox::Retry, IDRETRY}, {QMessageBox::Ignore, IDIGNORE}};
        break;
    case MB_YESNOCANCEL:
        buttons = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
        break;
    case MB_YESNO: buttons = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}}; break;
    case MB_RETRYCANCEL: buttons = {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}}; break;
    default: buttons = {{QMessageBox::Ok, IDOK}}; break;
    }
    QMessageBox::StandardButtons all;
    for (const Button& b : buttons)
        all |= b.qt;
    box.setStandardButtons(all);
    size_t def = (type & MB_DEFMASK) >> 8;
    if (def < buttons.size())
        box.setDefaultButton((buttons.begin() + def)->qt);
    KeepTitleWhole(box);
    int result = box.exec();
    for (const Button& b : buttons)
        if (b.qt == result)
            return b.id;
    // Closed by the window manager: the box's cancel answer.
    return (type & MB_TYPEMASK) == MB_OK ? IDOK : ((type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDCANCEL);
}

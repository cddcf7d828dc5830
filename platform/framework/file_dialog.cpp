#include "platform/framework/file_dialog.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QTimer>
#include <QTreeView>

int ExecFileDialog(QFileDialog& dlg)
{
    // Qt's own dialog makes its views when it shows.
    QTimer::singleShot(0, &dlg, [&dlg] {
        auto* details = dlg.findChild<QTreeView*>("treeView");
        if (!details)
            return; // the desktop's own dialog
        QHeaderView* header = details->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int i = 1; i < header->count(); ++i)
            header->setSectionResizeMode(i, QHeaderView::ResizeToContents);
    });
    return dlg.exec();
}

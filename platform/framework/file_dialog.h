#pragma once

class QFileDialog;

// Runs the file dialog modally; the answer is QDialog's. In Qt's own dialog
// the detail view's size, type and date columns are as wide as what they
// show, the names taking the rest, so that no size or type is cut short.
int ExecFileDialog(QFileDialog& dlg);

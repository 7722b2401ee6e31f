#pragma once

// The "OK" / "中止" pair at the right of a dialog's foot: OK accepts, 中止
// (and Escape, through QDialog) rejects.

class QDialog;
class QHBoxLayout;
class QPushButton;

namespace kvx {

struct OkAbortButtons {
    QPushButton* ok = nullptr;     // named "BitBtn_Ok"
    QPushButton* abort = nullptr;  // named "BitBtn_Abort"
    QHBoxLayout* row = nullptr;    // for the caller's layout
};

OkAbortButtons MakeOkAbortButtons(QDialog* dialog);

} // namespace kvx

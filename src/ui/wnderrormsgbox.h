#pragma once

#include "ui/basedialog.h"

class QPlainTextEdit;
class QPushButton;

// The generic error box: a message, a close button and an optional Cancel
// button; both buttons reject it, so a modal run returns 0 and the run goes
// on.  Base of the upload, login and force-start boxes.
class WndErrorMsgBox : public BaseDialog
{
    Q_OBJECT
public:
    WndErrorMsgBox();

    void setMessage(const QString &text);
    // Showing Cancel narrows the message to make room for it; hiding it
    // again is not needed by any box and does nothing.
    void setCancelVisible(bool show);

protected slots:
    void onClose();

private:
    void buildForm();

    QPushButton *m_btnClose = nullptr;
    QPlainTextEdit *m_edError = nullptr;
    QPushButton *m_btnCancel = nullptr;
};

#pragma once

#include "ui/wnderrormsgbox.h"

class QPushButton;

// Asks a user who is not logged in to do so.  Its Login button opens the
// login window; the box is accepted (modal result 1) when the user has logged
// in there and rejected (0) otherwise.  Cancel, Escape and closing the window
// reject it too, and only that: the caller decides whether the run goes on.
class WndLoginErrorMsgBox : public WndErrorMsgBox
{
    Q_OBJECT
public:
    WndLoginErrorMsgBox();

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void onLogin();

private:
    QPushButton *m_btnLogin = nullptr;
};

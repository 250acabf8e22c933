#pragma once

#include "ui/wnderrormsgbox.h"

class QPushButton;

// Asks a user who is not logged in to do so.  Its Login button opens the
// login window; the box is accepted (modal result 1) when the user has logged
// in there and rejected (0) otherwise; Cancel rejects it too.
class WndLoginErrorMsgBox : public WndErrorMsgBox
{
    Q_OBJECT
public:
    WndLoginErrorMsgBox();

private slots:
    void onLogin();

private:
    QPushButton *m_btnLogin = nullptr;
};

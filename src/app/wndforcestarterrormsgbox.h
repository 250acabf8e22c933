#pragma once

#include "ui/wnderrormsgbox.h"

class QPushButton;

// Asked when the program is launched while another instance runs: leave the
// old instance running (modal result 0) or stop it and start afresh (1).
class WndForceStartErrorMsgBox : public WndErrorMsgBox
{
    Q_OBJECT
public:
    WndForceStartErrorMsgBox();

public slots:
    void onForce();

private:
    QPushButton *m_btnRetry = nullptr;
};

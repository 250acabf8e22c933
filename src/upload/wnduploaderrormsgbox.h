#pragma once

#include "ui/wnderrormsgbox.h"

class QPushButton;

// Tells that an upload failed and offers Retry (modal result 1) and Save
// (result 2: keep the file locally and show it); closed otherwise it returns
// 0.  Escape asks before closing, which ends the run.
class WndUploadErrorMsgBox : public WndErrorMsgBox
{
    Q_OBJECT
public:
    WndUploadErrorMsgBox();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private slots:
    void onRetry();
    void onSave();

private:
    QPushButton *m_btnRetry = nullptr;
    QPushButton *m_btnSave = nullptr;
};

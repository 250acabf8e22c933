#pragma once

#include "ui/basedialog.h"

class QLabel;
class QProgressBar;
class QPushButton;

// Shows how much of an upload has gone out.  Closing it ends the run and with
// it the upload; Escape asks first.
class WndProgress : public BaseDialog
{
    Q_OBJECT
public:
    explicit WndProgress(QWidget *parent = nullptr);

    // Percentage 0 to 100; the bar is touched only when the value changes.
    void setProgress(int percent);

protected slots:
    void onClose();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildForm();

    QProgressBar *m_progressBar = nullptr;
    QLabel *m_lblHint = nullptr;
    QPushButton *m_btnClose = nullptr;
};

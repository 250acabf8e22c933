#include "app/wndforcestarterrormsgbox.h"

#include "ui/imagebutton.h"

#include <QPushButton>

WndForceStartErrorMsgBox::WndForceStartErrorMsgBox()
{
    resize(430, 150);
    setWindowTitle(QStringLiteral("Form"));

    m_btnRetry = imageButton(this, "btnRetry", QRect(310, 85, 110, 40), QStringLiteral(":/resources/btnStop.png"),
                             QStringLiteral("Stop old Snaplark and launch new one"));
    connect(m_btnRetry, &QPushButton::clicked, this, &WndForceStartErrorMsgBox::onForce);

    // The base box's Cancel button becomes "leave the old one running"; it
    // already rejects the box.
    if (auto *leave = findChild<QPushButton *>(QStringLiteral("btnCancel")))
        styleImageButton(leave, QRect(310, 33, 110, 40), QStringLiteral(":/resources/btnLeave.png"),
                         QStringLiteral("Leave old Snaplark running"));

    setupDialog(QStringLiteral("Snaplark Start Exception"), QString());
    setMessage(QStringLiteral(
        "It looks like you already have another instance of Snaplark running. Do you want to leave "
        "it running or stop it and launch a new one? If you choose to stop it, all unsaved changes "
        "will be lost."));
    setCancelVisible(true);
}

void WndForceStartErrorMsgBox::onForce()
{
    accept();
}

#include "app/wndforcestarterrormsgbox.h"

#include <QPushButton>

namespace {

void styleImageButton(QPushButton *button, const QRect &geometry, const QString &image,
                      const QString &toolTip)
{
    button->setGeometry(geometry);
    button->setFlat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setDefault(false);
    button->setAutoDefault(false);
    button->setAutoFillBackground(false);
    button->setIconSize(QSize(32, 32));
    button->setText(QString());
    button->setToolTip(toolTip);
    button->setStyleSheet(QStringLiteral("background-image: url(%1);\nborder: none;").arg(image));
}

} // namespace

WndForceStartErrorMsgBox::WndForceStartErrorMsgBox()
{
    resize(430, 150);
    setWindowTitle(QStringLiteral("Form"));

    m_btnRetry = new QPushButton(this);
    m_btnRetry->setObjectName(QStringLiteral("btnRetry"));
    styleImageButton(m_btnRetry, QRect(310, 85, 110, 40), QStringLiteral(":/resources/btnStop.png"),
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

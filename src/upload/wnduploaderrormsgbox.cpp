#include "upload/wnduploaderrormsgbox.h"

#include "ui/imagebutton.h"
#include "upload/uploadcancelquestion.h"

#include <QKeyEvent>
#include <QPushButton>

WndUploadErrorMsgBox::WndUploadErrorMsgBox()
{
    setObjectName(QStringLiteral("WndUploadErrorMsgBox"));
    resize(430, 150);
    setStyleSheet(QStringLiteral("background-image: url(:/resources/frmError.png);"));

    m_btnRetry = imageButton(this, "btnRetry", QRect(310, 33, 110, 40),
                             QStringLiteral(":/resources/btnReconnect.png"),
                             QStringLiteral("Try to upload again"));
    // Created after the base's Cancel button, at its place, so it covers it.
    m_btnSave = imageButton(this, "btnSave", QRect(310, 85, 110, 40), QStringLiteral(":/resources/btnSave.png"),
                            QStringLiteral("Save file locally (you can upload it later)"));
    connect(m_btnRetry, &QPushButton::clicked, this, &WndUploadErrorMsgBox::onRetry);
    connect(m_btnSave, &QPushButton::clicked, this, &WndUploadErrorMsgBox::onSave);

    setupDialog(QStringLiteral("Snaplark Upload Exception"), QString());
    setCancelVisible(true);
}

void WndUploadErrorMsgBox::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && UploadCancelQuestion::ask(this))
        close();
}

void WndUploadErrorMsgBox::onRetry()
{
    accept();
}

void WndUploadErrorMsgBox::onSave()
{
    done(2);
}

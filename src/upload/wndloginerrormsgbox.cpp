#include "upload/wndloginerrormsgbox.h"

#include "settings/settings.h"
#include "ui/imagebutton.h"
#include "upload/wndauthorization.h"

#include <QCloseEvent>
#include <QPushButton>

WndLoginErrorMsgBox::WndLoginErrorMsgBox()
{
    setObjectName(QStringLiteral("WndLoginErrorMsgBox"));
    resize(430, 150);
    setStyleSheet(QStringLiteral(
        "WndLoginErrorMsgBox{background-image: url(:/resources/frmError.png);}\n"
        "QWidget#WndLoginErrorMsgBox{background-image: url(:/resources/frmError.png);}"));

    m_btnLogin = imageButton(this, "btnLogin", QRect(310, 33, 110, 40), QStringLiteral(":/resources/btnLogon.png"),
                             QStringLiteral("Login with Google+ or Facebook"));
    connect(m_btnLogin, &QPushButton::clicked, this, &WndLoginErrorMsgBox::onLogin);

    setupDialog(QStringLiteral("Snaplark Login Exception"), QString());
    setCancelVisible(true);
}

void WndLoginErrorMsgBox::onLogin()
{
    WndAuthorization::login(this);
    if (Settings::authId().isEmpty())
        reject();
    else
        accept();
}

void WndLoginErrorMsgBox::closeEvent(QCloseEvent *event)
{
    // Not the dialog base's end of the run: the reminder comes before an
    // upload that must still go out, and a refused login ends the run on its
    // own.  Closing is a plain "no".
    QDialog::closeEvent(event);
}

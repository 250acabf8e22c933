#include "upload/wndloginerrormsgbox.h"

#include "settings/settings.h"
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

    m_btnLogin = new QPushButton(this);
    m_btnLogin->setObjectName(QStringLiteral("btnLogin"));
    m_btnLogin->setGeometry(310, 33, 110, 40);
    m_btnLogin->setFlat(true);
    m_btnLogin->setFocusPolicy(Qt::NoFocus);
    m_btnLogin->setAutoDefault(false);
    m_btnLogin->setText(QString());
    m_btnLogin->setIconSize(QSize(32, 32));
    m_btnLogin->setStyleSheet(QStringLiteral(
        "QPushButton#btnLogin{\n\tbackground-image: url(:/resources/btnLogon.png);\nborder: none;}\n"));
    m_btnLogin->setToolTip(
        QStringLiteral("<html><head/><body><p>Login with Google+ or Facebook</p></body></html>"));
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

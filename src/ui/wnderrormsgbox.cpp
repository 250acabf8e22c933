#include "ui/wnderrormsgbox.h"

#include "ui/imagebutton.h"

#include <QPlainTextEdit>
#include <QPushButton>

WndErrorMsgBox::WndErrorMsgBox()
    : BaseDialog(nullptr)
{
    buildForm();
    setupDialog(QStringLiteral("Snaplark Exception"), QStringLiteral(":/resources/frmError.png"));
    m_btnCancel->hide();
}

void WndErrorMsgBox::buildForm()
{
    setObjectName(QStringLiteral("WndErrorMsgBox"));
    resize(430, 150);
    setWindowTitle(QStringLiteral("Form"));
    setStyleSheet(QStringLiteral(
        "QWidget#WndErrorMsgBox{background-image: url(:/resources/frmError.png);}\n"
        "WndErrorMsgBox{background-image: url(:/resources/frmError.png);}"));

    m_btnClose = imageButton(this, "btnClose", QRect(409, 1, 20, 20), QStringLiteral(":/resources/btnClose.png"));

    m_edError = new QPlainTextEdit(this);
    m_edError->setObjectName(QStringLiteral("edError"));
    m_edError->setGeometry(60, 36, 350, 90);
    m_edError->setReadOnly(true);
    m_edError->setStyleSheet(QStringLiteral("background: none;\n"
                                            "background-color: rgb(204, 204, 204);"));

    m_btnCancel = imageButton(this, "btnCancel", QRect(310, 85, 110, 40), QStringLiteral(":/resources/btnCancel.png"),
                              QStringLiteral("Cancel"));

    connect(m_btnClose, &QPushButton::clicked, this, &WndErrorMsgBox::onClose);
    connect(m_btnCancel, &QPushButton::clicked, this, &WndErrorMsgBox::onClose);
}

void WndErrorMsgBox::setMessage(const QString &text)
{
    m_edError->setPlainText(text);
}

void WndErrorMsgBox::setCancelVisible(bool show)
{
    // Narrow only once, however often a subclass asks.
    if (!show || !m_btnCancel->isHidden())
        return;
    m_edError->resize(m_edError->width() - m_btnCancel->width(), m_edError->height());
    m_btnCancel->show();
}

void WndErrorMsgBox::onClose()
{
    reject();
}

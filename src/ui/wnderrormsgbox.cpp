#include "ui/wnderrormsgbox.h"

#include <QPlainTextEdit>
#include <QPushButton>

namespace {

QPushButton *imageButton(QWidget *parent, const char *name, const QRect &geometry,
                         const QString &styleSheet)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    button->setFlat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIconSize(QSize(32, 32));
    button->setStyleSheet(styleSheet);
    return button;
}

} // namespace

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

    m_btnClose = imageButton(this, "btnClose", QRect(409, 1, 20, 20),
                             QStringLiteral("background-image: url(:/resources/btnClose.png);\n"
                                            "border: none;"));

    m_edError = new QPlainTextEdit(this);
    m_edError->setObjectName(QStringLiteral("edError"));
    m_edError->setGeometry(60, 36, 350, 90);
    m_edError->setReadOnly(true);
    m_edError->setStyleSheet(QStringLiteral("background: none;\n"
                                            "background-color: rgb(204, 204, 204);"));

    m_btnCancel = imageButton(this, "btnCancel", QRect(310, 85, 110, 40),
                              QStringLiteral("background-image: url(:/resources/btnCancel.png);\n"
                                             "border: none;"));
    m_btnCancel->setToolTip(QStringLiteral("<html><head/><body><p>Cancel</p></body></html>"));

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

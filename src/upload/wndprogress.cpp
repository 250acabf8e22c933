#include "upload/wndprogress.h"

#include "ui/imagebutton.h"
#include "upload/uploadcancelquestion.h"

#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

WndProgress::WndProgress(QWidget *parent)
    : BaseDialog(parent)
{
    buildForm();
    setupDialog(QStringLiteral("Snaplark Uploading Progress"), QStringLiteral(":/resources/frmProgress.png"));
    // an ordinary framed window, unlike the other skinned dialogs
    setWindowFlags(Qt::WindowFlags());
}

void WndProgress::buildForm()
{
    setObjectName(QStringLiteral("WndProgress"));
    resize(360, 150);
    setStyleSheet(QStringLiteral("QDialog#WndProgress{background-image: url(:/resources/frmProgress.png);}"));

    m_progressBar = new QProgressBar(this);
    m_progressBar->setObjectName(QStringLiteral("progressBar"));
    m_progressBar->setGeometry(20, 80, 321, 29);
    m_progressBar->setTextVisible(true);
    m_progressBar->setAlignment(Qt::AlignCenter);
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);

    m_lblHint = new QLabel(this);
    m_lblHint->setObjectName(QStringLiteral("lblHint"));
    m_lblHint->setGeometry(62, 44, 231, 21);
    QFont font = m_lblHint->font();
    font.setPointSize(8);
    m_lblHint->setFont(font);
    m_lblHint->setStyleSheet(QStringLiteral("background: none;\ncolor: rgb(121, 0, 0);"));
    m_lblHint->setFrameShape(QFrame::NoFrame);
    m_lblHint->setTextFormat(Qt::RichText);
    m_lblHint->setText(QStringLiteral("Uploading to server ..."));
    m_lblHint->setAlignment(Qt::AlignCenter);

    m_btnClose = imageButton(this, "btnClose", QRect(339, 1, 20, 20), QStringLiteral(":/resources/btnClose.png"));
    connect(m_btnClose, &QPushButton::clicked, this, &WndProgress::onClose);
}

void WndProgress::setProgress(int percent)
{
    if (m_progressBar->value() != percent)
        m_progressBar->setValue(percent);
}

void WndProgress::onClose()
{
    close();
}

void WndProgress::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && UploadCancelQuestion::ask(this))
        close();
}

#include "upload/wndcomplete.h"

#include "platform/platform.h"
#include "settings/settings.h"
#include "ui/imagebutton.h"
#include "upload/uploadmanager.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>

namespace {

// The values of VideoFileAction: the user's last choice here.
constexpr int kChoseUpload = 1;
constexpr int kChoseSave = 2;

QString richText(const QString &body, int pointSize)
{
    return QStringLiteral("<html><head/><body><p><span style=\" font-size:%1pt;\">%2</span></p></body></html>")
        .arg(pointSize)
        .arg(body);
}

} // namespace

WndComplete::WndComplete(const QString &path, const Look &look)
    : m_path(path)
    , m_uploadRemembered(look.uploadRemembered)
{
    buildForm(look);
    setupDialog(look.title, QStringLiteral(":/resources/frmVideo.png"));
}

void WndComplete::buildForm(const Look &look)
{
    setObjectName(look.objectName);
    resize(253, 262);
    setStyleSheet(QStringLiteral("QDialog#%1{background-image: url(:/resources/frmVideo.png);}").arg(look.objectName));

    m_btnClose = imageButton(this, "btnClose", QRect(232, 1, 20, 20), QStringLiteral(":/resources/btnClose.png"));

    m_lblAction = new QLabel(this);
    m_lblAction->setObjectName(QStringLiteral("lblAction"));
    m_lblAction->setGeometry(20, 50, 213, 50);
    m_lblAction->setStyleSheet(QStringLiteral("background: none;"));
    m_lblAction->setTextFormat(Qt::RichText);
    m_lblAction->setAlignment(Qt::AlignCenter);
    m_lblAction->setText(richText(look.caption.toHtmlEscaped() + QStringLiteral("<br/>Choose action:"), 8));

    m_btnSave = imageButton(this, "btnSave", QRect(71, 125, 110, 40), QStringLiteral(":/resources/btnSave.png"),
                            richText(QStringLiteral("Save"), 9));
    m_btnUpload = imageButton(this, "btnUpload", QRect(71, 185, 110, 40),
                              QStringLiteral(":/resources/btnUpload.png"), richText(QStringLiteral("Upload"), 9));

    connect(m_btnClose, &QPushButton::clicked, this, &WndComplete::onCancelClick);
    connect(m_btnSave, &QPushButton::clicked, this, &WndComplete::onSaveClick);
    connect(m_btnUpload, &QPushButton::clicked, this, &WndComplete::onUploadClick);
}

void WndComplete::keyPressEvent(QKeyEvent *event)
{
    // Every key, Escape included: a stray key must not throw the recording
    // away, nor decide where it goes.
    Q_UNUSED(event)
}

void WndComplete::closeEvent(QCloseEvent *event)
{
    // Closed by the window manager rather than by a button: the user has not
    // asked for the recording to go, so it stays where it was written.
    if (!m_chosen)
        qDebug().noquote() << QStringLiteral("Closed without a choice, keeping: %1").arg(m_path);
    BaseDialog::closeEvent(event);
}

void WndComplete::onCancelClick()
{
    if (QFile::exists(m_path) && !QFile::remove(m_path))
        qDebug().noquote() << QStringLiteral("Could not delete: %1").arg(m_path);
    closeChosen();
}

void WndComplete::onUploadClick()
{
    // The modal run goes on, unseen, until the upload ends the run.
    hide();
    copyPathIfChosen();
    if (m_uploadRemembered)
        Settings::setVideoFileAction(kChoseUpload);
    UploadManager::uploadFile(m_path, false);
}

void WndComplete::onSaveClick()
{
    copyPathIfChosen();
    Settings::setVideoFileAction(kChoseSave);
    const QString nativePath = QDir::toNativeSeparators(m_path);
    qDebug().noquote() << QStringLiteral("Open folder: %1").arg(nativePath);
    Platform::showFileInFolder(nativePath);
    closeChosen();
}

void WndComplete::copyPathIfChosen() const
{
    if (Settings::currentClipboard() != Settings::ClipboardLocalPath)
        return;
    const QString nativePath = QDir::toNativeSeparators(m_path);
    qDebug().noquote() << QStringLiteral("Copy to clipboard: %1").arg(nativePath);
    QGuiApplication::clipboard()->setText(nativePath, QClipboard::Clipboard);
}

void WndComplete::closeChosen()
{
    m_chosen = true;
    close(); // and the close ends the run
}

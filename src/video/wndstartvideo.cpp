#include "video/wndstartvideo.h"

#include "core/appcontrol.h"
#include "settings/settings.h"
#include "ui/imagebutton.h"
#include "video/videocapture.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

namespace VideoQuality {

Choice choiceFor(int frameRate)
{
    if (frameRate == kLowRate)
        return Low;
    if (frameRate == kNormalRate)
        return Normal;
    return Custom;
}

} // namespace VideoQuality

namespace {

QRadioButton *choice(QWidget *parent, const char *name, const QRect &geometry, const QString &text)
{
    auto *button = new QRadioButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    button->setStyleSheet(QStringLiteral("background: none;"));
    // The label's own 8 points: at the desktop's default size the longest
    // choice runs past the dialog's edge.
    QFont font = button->font();
    font.setPointSize(8);
    button->setFont(font);
    return button;
}

QRect between(int left, int top, int right, int bottom)
{
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

} // namespace

WndStartVideo::WndStartVideo(const VideoSelection &selection)
    : m_selection(selection)
{
    buildForm();
    setupDialog(QStringLiteral("Snaplark Start Video Recording"), QStringLiteral(":/resources/frmVideo.png"));

    const int frameRate = Settings::videoFrameRate();
    switch (VideoQuality::choiceFor(frameRate)) {
    case VideoQuality::Low:
        m_btnLow->setChecked(true);
        break;
    case VideoQuality::Normal:
        m_btnNormal->setChecked(true);
        break;
    case VideoQuality::Custom:
        m_btnCustom->setChecked(true);
        break;
    }
    // a stored rate beyond the box's range shows as its nearest end
    m_spinFramerate->setValue(frameRate);
    m_spinFramerate->setEnabled(m_btnCustom->isChecked());
    m_chEnableSound->setChecked(Settings::soundEnable());
}

WndStartVideo::~WndStartVideo() = default;

void WndStartVideo::buildForm()
{
    setObjectName(QStringLiteral("WndStartVideo"));
    resize(253, 262);
    setStyleSheet(QStringLiteral("QDialog#WndStartVideo{background-image: url(:/resources/frmVideo.png);}"));

    m_btnClose = imageButton(this, "btnClose", between(232, 1, 251, 20), QStringLiteral(":/resources/btnClose.png"));
    connect(m_btnClose, &QPushButton::clicked, this, &WndStartVideo::onCancelClick);

    m_lblAction = new QLabel(this);
    m_lblAction->setObjectName(QStringLiteral("lblAction"));
    m_lblAction->setGeometry(between(20, 40, 148, 92));
    m_lblAction->setStyleSheet(QStringLiteral("background: none;"));
    m_lblAction->setTextFormat(Qt::RichText);
    m_lblAction->setText(QStringLiteral("<html><head/><body><p><span style=\" font-size:8pt;\">Select video "
                                        "quality<br/>for recording:</span></p></body></html>"));

    m_btnOk = imageButton(this, "btnOk", between(130, 50, 239, 88), QStringLiteral(":/resources/btnStartVideo.png"));
    connect(m_btnOk, &QPushButton::clicked, this, &WndStartVideo::onOkClick);

    m_btnLow = choice(this, "btnLow", between(30, 98, 240, 124), QStringLiteral("Low quality (about 2 Mb/min)"));
    m_btnNormal =
        choice(this, "btnNormal", between(30, 128, 240, 154), QStringLiteral("Normal quality (about 5 Mb/min)"));
    m_btnCustom = choice(this, "btnCustom", between(30, 158, 160, 184), QStringLiteral("Custom framerate"));
    m_btnNormal->setChecked(true);
    for (QRadioButton *button : {m_btnLow, m_btnNormal, m_btnCustom})
        connect(button, &QRadioButton::clicked, this, &WndStartVideo::onQualitySelect);

    m_spinFramerate = new QSpinBox(this);
    m_spinFramerate->setObjectName(QStringLiteral("spinFramerate"));
    m_spinFramerate->setGeometry(between(162, 160, 206, 181));
    m_spinFramerate->setRange(1, 50);
    m_spinFramerate->setFrame(false);
    m_spinFramerate->setWrapping(false);
    m_spinFramerate->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    m_spinFramerate->setStyleSheet(QStringLiteral("background: none;"));
    m_spinFramerate->setEnabled(false);

    m_chEnableSound = new QCheckBox(QStringLiteral("Enable sound"), this);
    m_chEnableSound->setObjectName(QStringLiteral("chEnableSound"));
    m_chEnableSound->setGeometry(between(30, 204, 170, 234));
    m_chEnableSound->setStyleSheet(QStringLiteral("background: none;"));
    m_chEnableSound->setFont(m_btnLow->font());
}

void WndStartVideo::onQualitySelect()
{
    if (m_btnLow->isChecked())
        m_spinFramerate->setValue(VideoQuality::kLowRate);
    else if (m_btnNormal->isChecked())
        m_spinFramerate->setValue(VideoQuality::kNormalRate);
    m_spinFramerate->setEnabled(m_btnCustom->isChecked());
}

void WndStartVideo::onOkClick()
{
    if (m_capture)
        return; // a second click while the first one's countdown runs
    hide();
    Settings::setVideoFrameRate(m_spinFramerate->value());
    Settings::setSoundEnable(m_chEnableSound->isChecked());
    m_capture = std::make_unique<VideoCapture>(m_selection.framed() ? m_selection.region : QRect());
    if (m_capture->isReady())
        m_capture->start(m_selection);
}

void WndStartVideo::onCancelClick()
{
    AppControl::endRun(0);
}

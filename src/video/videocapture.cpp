#include "video/videocapture.h"

#include "core/appcontrol.h"
#include "extension/extension.h"
#include "settings/capturefolder.h"
#include "settings/settings.h"
#include "ui/fatalerror.h"
#include "upload/wndcompletevideo.h"
#include "video/videoselection.h"
#include "video/wndcountdown.h"
#include "video/wndrecord.h"
#include "video/wndrecordborder.h"

#include <QDebug>
#include <QFileInfo>
#include <QFile>

namespace {
VideoCapture *s_current = nullptr;
}

VideoCapture::VideoCapture(const QRect &recorded)
    : m_border(std::make_unique<wndrecordborder>())
{
    s_current = this;
    m_path = CaptureFolder::newCaptureFileName(Settings::ModeVideo);
    if (m_path.isEmpty())
        return;
    m_record = std::make_unique<WndRecord>(recorded);
    connect(m_record.get(), &QDialog::accepted, this, &VideoCapture::onStopRecord);
    m_record->show();
}

VideoCapture::~VideoCapture()
{
    // A run that ends while recording (the application quits) still leaves
    // a complete file.
    if (m_recording)
        Extension::stopVideoCapture();
    if (s_current == this)
        s_current = nullptr;
}

VideoCapture *VideoCapture::current()
{
    return s_current;
}

void VideoCapture::start(const VideoSelection &selection)
{
    if (!isReady() || m_recording)
        return;
    if (selection.framed()) {
        m_border->place(selection.borderGeometry());
        m_border->show();
    }
    if (selection.countsDown()) {
        wndcountdown countdown;
        AppControl::runModal(&countdown);
    }
    // read now: the settings may have changed during the countdown
    if (!Extension::startVideoCapture(selection.fullScreen(), selection.recordedRegion(), selection.recordedWindow(),
                                      m_path, Settings::videoFrameRate(), Settings::soundEnable())) {
        discard();
        reportFatalError(QStringLiteral("Can't start video capturing!"), true);
        return;
    }
    m_recording = true;
    qDebug("Video recording started: %s", qPrintable(m_path));
}

void VideoCapture::onStopRecord()
{
    if (!m_recording)
        return;
    Extension::stopVideoCapture();
    m_recording = false;
    m_border->close();
    m_record->hide();
    // An ffmpeg that died on its way (the disk full, the display gone) may
    // leave nothing worth offering.
    if (QFileInfo(m_path).size() == 0) {
        discard();
        reportFatalError(QStringLiteral("The video could not be recorded"), true);
        return;
    }
    qDebug("Video recording stopped: %s", qPrintable(m_path));
    m_complete = std::make_unique<WndCompleteVideo>(m_path);
    AppControl::runModal(m_complete.get());
}

void VideoCapture::discard()
{
    m_border->close();
    if (m_record)
        m_record->hide();
    QFile::remove(m_path); // the name reserved for the recording, still empty
}

#pragma once

#include "ui/basedialog.h"
#include "video/videoselection.h"

#include <memory>

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class VideoCapture;

// The quality choices and the frame rates they stand for.
namespace VideoQuality {
enum Choice { Low, Normal, Custom };
constexpr int kLowRate = 1;
constexpr int kNormalRate = 10;
// The choice a stored frame rate shows as.
Choice choiceFor(int frameRate);
} // namespace VideoQuality

// Asks for the recording's quality and sound, then starts the recording of
// the overlay's selection.  Closing it ends the run.
class WndStartVideo : public BaseDialog
{
    Q_OBJECT
public:
    explicit WndStartVideo(const VideoSelection &selection);
    ~WndStartVideo() override;

    // The recording once OK has started it.
    VideoCapture *capture() const { return m_capture.get(); }

private slots:
    void onOkClick();
    void onCancelClick();
    void onQualitySelect();

private:
    void buildForm();

    const VideoSelection m_selection;
    std::unique_ptr<VideoCapture> m_capture;

    QPushButton *m_btnClose = nullptr;
    QLabel *m_lblAction = nullptr;
    QPushButton *m_btnOk = nullptr;
    QRadioButton *m_btnLow = nullptr;
    QRadioButton *m_btnNormal = nullptr;
    QRadioButton *m_btnCustom = nullptr;
    QSpinBox *m_spinFramerate = nullptr;
    QCheckBox *m_chEnableSound = nullptr;
};

#pragma once

#include <QObject>
#include <QRect>
#include <QString>

#include <memory>

class WndCompleteVideo;
class WndRecord;
class wndrecordborder;
struct VideoSelection;

// One video recording: reserves its file in the captures folder, shows the
// recording window at once (also during the countdown), has the extension
// library record the selection, and after Stop offers the finished file in
// the completion dialog.  The library's ffmpeg writes the file; Stop returns
// once it is complete.
class VideoCapture : public QObject
{
    Q_OBJECT
public:
    // recorded: the region being recorded, desktop coordinates, logical
    // pixels; null for a window or the whole screen.  When the file cannot be
    // reserved the error has been reported and the run is ending: isReady()
    // is false and nothing is shown.
    explicit VideoCapture(const QRect &recorded = QRect());
    ~VideoCapture() override;

    // The recording being made, if any.
    static VideoCapture *current();

    bool isReady() const { return !m_path.isEmpty(); }
    bool isRecording() const { return m_recording; }
    QString path() const { return m_path; }
    WndRecord *recordWindow() const { return m_record.get(); }
    wndrecordborder *border() const { return m_border.get(); }

    // Border and countdown as the selection asks, then the recording; a
    // library that refuses ends the run with "Can't start video capturing!".
    void start(const VideoSelection &selection);

public slots:
    void onStopRecord();

private:
    void discard();

    QString m_path;
    std::unique_ptr<wndrecordborder> m_border;
    std::unique_ptr<WndRecord> m_record;
    // Lives on after its modal run: an upload goes on once it has returned.
    std::unique_ptr<WndCompleteVideo> m_complete;
    bool m_recording = false;
};

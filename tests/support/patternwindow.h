#pragma once

#include <QImage>
#include <QRect>
#include <QWidget>

// A borderless window, placed exactly (the window manager is bypassed), that
// shows a picture in which every pixel differs from its neighbours, so any
// shifted, clipped or recoloured grab of it is noticed.
class PatternWindow : public QWidget
{
public:
    explicit PatternWindow(const QRect &geometry);

    static QImage pattern(const QSize &size);
    const QImage &image() const { return m_image; }

    // Shows the window and waits until the server displays the pattern.
    bool showAndWait(int timeoutMs = 5000);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_image;
};

// The scrolling test program (see scrollpagecontent.h).
#include "scrollpagecontent.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QWheelEvent>
#include <QWidget>

#include <algorithm>
#include <cstdio>

namespace {

class PageWindow : public QWidget
{
public:
    PageWindow()
        : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setWindowTitle(QStringLiteral("SnaplarkScrollPage"));
    }

protected:
    void resizeEvent(QResizeEvent *) override
    {
        m_page = ScrollPage::rows(width(), 0, ScrollPage::kRows);
        scrollTo(m_top);
    }

    void paintEvent(QPaintEvent *) override
    {
        QPainter(this).drawImage(QPoint(0, 0), m_page, QRect(0, m_top, width(), height()));
    }

    void wheelEvent(QWheelEvent *event) override
    {
        const int steps = event->angleDelta().y() / 120;
        scrollTo(m_top - steps * ScrollPage::kWheelRows);
    }

    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_Down)
            scrollTo(m_top + ScrollPage::kKeyRows);
        else if (event->key() == Qt::Key_Up)
            scrollTo(m_top - ScrollPage::kKeyRows);
    }

private:
    void scrollTo(int top)
    {
        top = std::clamp(top, 0, std::max(0, ScrollPage::kRows - height()));
        if (top == m_top && !m_announced) {
            m_announced = true;
        } else if (top == m_top) {
            return;
        }
        m_top = top;
        // at once, as the recorder grabs as soon as it hears of the scroll
        repaint();
        std::printf("top %d\n", m_top);
        std::fflush(stdout);
    }

    QImage m_page;
    int m_top = 0;
    bool m_announced = false;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5) {
        std::fprintf(stderr, "usage: scrollpage X Y WIDTH HEIGHT\n");
        return 2;
    }
    PageWindow window;
    window.setGeometry(args[1].toInt(), args[2].toInt(), args[3].toInt(), args[4].toInt());
    window.show();
    return app.exec();
}

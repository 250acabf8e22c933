// The baseline for the launch benchmark: the least a Qt program does to put a
// frameless window over the whole screen.
#include <QApplication>
#include <QScreen>
#include <QWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    window.setGeometry(QGuiApplication::primaryScreen()->geometry());
    window.show();
    return app.exec();
}

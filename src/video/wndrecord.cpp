#include "video/wndrecord.h"

#include "core/screengeometry.h"

#include <QCloseEvent>
#include <QGraphicsView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>

namespace RecordWindowPlace {

QPoint corner(const QRect &screen, const QSize &size, const QRect &recorded)
{
    const int left = screen.left(), right = screen.right() + 1 - size.width();
    const int top = screen.top(), bottom = screen.bottom() + 1 - size.height();
    const QPoint corners[] = {{right, top}, {left, top}, {right, bottom}, {left, bottom}};
    for (const QPoint &point : corners) {
        if (!QRect(point, size).intersects(recorded))
            return point;
    }
    return corners[0];
}

} // namespace RecordWindowPlace

namespace {
constexpr int kBlinkMs = 1000;
const char kIconStyle[] = "background-image: url(:/resources/btnStopRecord.png); border: none;";
const char kLitIconStyle[] = "background-image: url(:/resources/btnStopRecord2.png); border: none;";
} // namespace

WndRecord::WndRecord(const QRect &recorded)
{
    buildForm();
    setupDialog(QStringLiteral("Snaplark Video Recording"), QStringLiteral(":/resources/frmRecord.png"));
    move(RecordWindowPlace::corner(ScreenGeometry::primaryScreenRect(), size(), recorded));

    m_blink = new QTimer(this);
    m_blink->setInterval(kBlinkMs);
    connect(m_blink, &QTimer::timeout, this, &WndRecord::updateIcon);
    m_blink->start();
}

void WndRecord::buildForm()
{
    setObjectName(QStringLiteral("WndRecord"));
    resize(80, 93);
    setStyleSheet(QStringLiteral("QDialog#WndRecord{background-image: url(:/resources/frmRecord.png);}"));

    const QRect button(21, 32, 39, 39);
    m_icon = new QGraphicsView(this);
    m_icon->setObjectName(QStringLiteral("graphicsView"));
    m_icon->setGeometry(button);
    m_icon->setStyleSheet(QStringLiteral("background-image: url(:/resources/btnStopRecord.png);\nborder: none;"));
    m_icon->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_icon->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    m_btnStop = new QPushButton(this);
    m_btnStop->setObjectName(QStringLiteral("btnStop"));
    m_btnStop->setGeometry(button);
    m_btnStop->setFlat(true);
    m_btnStop->setFocusPolicy(Qt::NoFocus);
    m_btnStop->setAutoDefault(false);
    m_btnStop->setStyleSheet(QStringLiteral("background: none;\nborder: none;"));
    connect(m_btnStop, &QPushButton::clicked, this, &QDialog::accept);
}

void WndRecord::updateIcon()
{
    m_litIcon = !m_litIcon;
    m_icon->setStyleSheet(QLatin1String(m_litIcon ? kLitIconStyle : kIconStyle));
}

void WndRecord::keyPressEvent(QKeyEvent *event)
{
    // Esc too: only Stop ends a recording
    event->ignore();
}

void WndRecord::closeEvent(QCloseEvent *event)
{
    event->ignore();
}

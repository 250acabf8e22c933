#include "formspots.h"

#include "desktopdriver.h"

#include <QRegularExpression>
#include <QTest>
#include <QWidget>

bool FormSpots::record(const QWidget *form, const QStringList &names)
{
    for (const QString &name : names) {
        const auto *widget = form->findChild<const QWidget *>(name);
        if (!widget)
            return false;
        m_spots.insert(name, widget->mapTo(form, widget->rect().center()));
    }
    return true;
}

bool FormSpots::click(qulonglong window, const QString &name) const
{
    // The window manager frames the window: its inside's corner as the server has it.
    const QByteArray info = Desktop::tool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)});
    static const QRegularExpression corner(
        QStringLiteral("Absolute upper-left X:\\s*(-?\\d+)\\s*Absolute upper-left Y:\\s*(-?\\d+)"));
    const QRegularExpressionMatch match = corner.match(QString::fromLatin1(info));
    if (!match.hasMatch() || !m_spots.contains(name))
        return false;
    return Desktop::click(QPoint(match.captured(1).toInt(), match.captured(2).toInt()) + m_spots.value(name));
}

bool FormSpots::choose(qulonglong window, const QString &name, const QStringList &keys) const
{
    if (!click(window, name))
        return false;
    QTest::qWait(300); // the list opens
    return !Desktop::tool(QStringLiteral("xdotool"), QStringList{QStringLiteral("key"), QStringLiteral("--delay"),
                                                                 QStringLiteral("100")} + keys).isNull();
}

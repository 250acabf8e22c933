#pragma once

#include <QMap>
#include <QPoint>
#include <QString>
#include <QStringList>

class QWidget;

// Where named widgets sit in a window another process shows: the same form,
// built and laid out by the test on the same display, gives their centres.
class FormSpots
{
public:
    // Records the centres of the form's children with these object names;
    // false when one is missing.
    bool record(const QWidget *form, const QStringList &names);
    // Clicks the named widget inside the program's (framed) window.
    bool click(qulonglong window, const QString &name) const;
    // Opens the named combo box and presses the keys (xdotool names) in its list.
    bool choose(qulonglong window, const QString &name, const QStringList &keys) const;

private:
    QMap<QString, QPoint> m_spots;
};

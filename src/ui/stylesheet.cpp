#include "ui/stylesheet.h"

#include <QApplication>
#include <QFile>

namespace StyleSheet {

void installApplicationSheet()
{
    QFile file(QStringLiteral(":/resources/style.qss"));
    if (!file.open(QIODevice::ReadOnly))
        return;
    qApp->setStyleSheet(QString::fromUtf8(file.readAll()));
}

} // namespace StyleSheet

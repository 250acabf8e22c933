#include "ui/fatalerror.h"

#include "core/appcontrol.h"
#include "ui/wnderrormsgbox.h"

#include <QDebug>

void reportFatalError(const QString &message, bool show)
{
    if (show) {
        WndErrorMsgBox box;
        box.setMessage(message);
        AppControl::runModal(&box);
    }
    qDebug().noquote() << message;
    AppControl::endRun(0);
}

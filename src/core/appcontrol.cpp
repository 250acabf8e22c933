#include "core/appcontrol.h"

#include <QCoreApplication>
#include <QDialog>

namespace AppControl {
namespace {
EndRunHandler &endRunHandler()
{
    static EndRunHandler handler;
    return handler;
}
ModalRunner &modalRunner()
{
    static ModalRunner runner;
    return runner;
}
} // namespace

void endRun(int code)
{
    if (endRunHandler())
        endRunHandler()(code);
    else
        QCoreApplication::exit(code);
}

int runModal(QDialog *dialog)
{
    if (modalRunner())
        return modalRunner()(dialog);
    return dialog->exec();
}

void setEndRunHandler(EndRunHandler handler) { endRunHandler() = std::move(handler); }
void setModalRunner(ModalRunner runner) { modalRunner() = std::move(runner); }

} // namespace AppControl

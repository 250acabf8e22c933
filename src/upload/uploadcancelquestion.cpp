#include "upload/uploadcancelquestion.h"

#include "core/appcontrol.h"
#include "ui/basedialog.h"

#include <QMessageBox>

namespace UploadCancelQuestion {

bool ask(QWidget *window)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Snaplark " SNAPLARK_VERSION),
                    QStringLiteral("Do you really want to cancel uploading?"),
                    QMessageBox::Yes | QMessageBox::No, window);
    box.setDefaultButton(QMessageBox::Yes);
    box.setWindowModality(Qt::ApplicationModal);
    box.move(DialogPlacement::onPrimaryScreen(box.sizeHint()));
    return AppControl::runModal(&box) == QMessageBox::Yes;
}

} // namespace UploadCancelQuestion

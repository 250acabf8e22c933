#pragma once

#include "ui/basedialog.h"

class QLabel;
class QPushButton;

// The question at the end of a recording: Save shows the file in the file
// manager, Upload hands it to the upload client, Close deletes it.  Every
// choice ends the run; an upload ends it once the reply has been handled.
// exec() returns as soon as the dialog is gone, also while an upload goes on,
// so the recorder that runs it must only return afterwards.
class WndComplete : public BaseDialog
{
    Q_OBJECT
public:
    // What tells the two recordings' dialogs apart.
    struct Look
    {
        QString objectName;
        QString title;
        QString caption;         // first line above "Choose action:"
        bool uploadRemembered;   // an upload choice is stored in VideoFileAction
    };

protected:
    WndComplete(const QString &path, const Look &look);

    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private slots:
    void onCancelClick();
    void onUploadClick();
    void onSaveClick();

private:
    void buildForm(const Look &look);
    // With the clipboard form "Local file path" the path is all there is to
    // copy before the file goes anywhere.
    void copyPathIfChosen() const;
    // Closes after a button's choice, which has already dealt with the file.
    void closeChosen();

    const QString m_path;
    const bool m_uploadRemembered;
    bool m_chosen = false;

    QPushButton *m_btnClose = nullptr;
    QLabel *m_lblAction = nullptr;
    QPushButton *m_btnSave = nullptr;
    QPushButton *m_btnUpload = nullptr;
};

// The progress window and the upload-error box: their answers, and the
// question Escape asks before the box ends the run.  (Escape on the progress
// window and Save over Cancel are driven end to end in the upload suite.)
#include "testsupport.h"
#include "upload/wndprogress.h"
#include "upload/wnduploaderrormsgbox.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

class TestUploadDialogs : public QObject
{
    Q_OBJECT

private slots:
    void progressCloseButtonEndsTheRunWithoutAsking()
    {
        RunObserver run;
        WndProgress window;
        window.show();
        window.findChild<QPushButton *>(QStringLiteral("btnClose"))->click();
        QVERIFY(!window.isVisible());
        QVERIFY(run.dialogs.isEmpty());
        QCOMPARE(run.endCodes, QList<int>{0});
    }

    void errorBoxAnswers()
    {
        WndUploadErrorMsgBox box;
        const std::pair<const char *, int> answers[] = {{"btnRetry", 1}, {"btnSave", 2}, {"btnClose", 0}};
        for (const auto &[button, result] : answers) {
            QPushButton *target = box.findChild<QPushButton *>(QString::fromLatin1(button));
            QTimer::singleShot(0, target, &QPushButton::click);
            QCOMPARE(box.exec(), result);
        }
    }

    void escapeOnTheErrorBoxAsksBeforeEndingTheRun()
    {
        WndUploadErrorMsgBox box;
        box.show();
        RunObserver run(QMessageBox::Yes);
        run.onDialog = [&box](QDialog *dialog) {
            auto *question = qobject_cast<QMessageBox *>(dialog);
            QVERIFY(question && question->parentWidget() == &box);
            QCOMPARE(question->text(), QStringLiteral("Do you really want to cancel uploading?"));
            QCOMPARE(question->standardButtons(), QMessageBox::Yes | QMessageBox::No);
            QCOMPARE(question->standardButton(question->defaultButton()), QMessageBox::Yes);
        };

        QTest::keyClick(&box, Qt::Key_A); // other keys do nothing
        QVERIFY(run.dialogs.isEmpty());
        QTest::keyClick(&box, Qt::Key_Escape);
        QCOMPARE(run.dialogs, QStringList{QStringLiteral("Snaplark 1.24")});
        QVERIFY(!box.isVisible());
        QCOMPARE(run.endCodes, QList<int>{0});
    }
};

QTEST_MAIN(TestUploadDialogs)
#include "tst_uploaddialogs.moc"

// The progress window and the upload-error box: their answers, and the
// question Escape asks before either ends the run.
#include "testsupport.h"
#include "upload/wndprogress.h"
#include "upload/wnduploaderrormsgbox.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest>

namespace {

// Clicks the button once the dialog's modal run has begun; returns the run's result.
int clickDuringRun(QDialog *dialog, const char *button)
{
    QTimer::singleShot(0, dialog, [dialog, button] {
        dialog->findChild<QPushButton *>(QString::fromLatin1(button))->click();
    });
    return dialog->exec();
}

struct Question
{
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QPoint position;
    QPoint expected;
};

} // namespace

class TestUploadDialogs : public QObject
{
    Q_OBJECT

private slots:
    void progressWindow()
    {
        WndProgress window;
        QCOMPARE(window.windowTitle(), QStringLiteral("Snaplark Uploading Progress"));
        QCOMPARE(window.size(), QSize(360, 150));
        // an ordinary framed window, not the frameless skin of other dialogs
        QVERIFY(!(window.windowFlags() & Qt::FramelessWindowHint));
        auto *bar = window.findChild<QProgressBar *>(QStringLiteral("progressBar"));
        QCOMPARE(bar->geometry(), QRect(20, 80, 321, 29));
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("lblHint"))->text(), QStringLiteral("Uploading to server ..."));

        int changes = 0;
        connect(bar, &QProgressBar::valueChanged, [&changes] { ++changes; });
        for (int percent : {0, 7, 7, 7, 42, 100})
            window.setProgress(percent);
        QCOMPARE(bar->value(), 100);
        QCOMPARE(changes, 3); // 0 was already shown
    }

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

    void escapeAsksBeforeEndingTheRun_data()
    {
        QTest::addColumn<bool>("errorBox");
        QTest::addColumn<int>("answer");
        QTest::newRow("progress, no") << false << int(QMessageBox::No);
        QTest::newRow("progress, yes") << false << int(QMessageBox::Yes);
        QTest::newRow("error box, no") << true << int(QMessageBox::No);
        QTest::newRow("error box, yes") << true << int(QMessageBox::Yes);
    }
    void escapeAsksBeforeEndingTheRun()
    {
        QFETCH(bool, errorBox);
        QFETCH(int, answer);
        std::unique_ptr<QDialog> window;
        if (errorBox)
            window = std::make_unique<WndUploadErrorMsgBox>();
        else
            window = std::make_unique<WndProgress>();
        window->show();

        RunObserver run(answer);
        Question question;
        run.onDialog = [&question, &window](QDialog *dialog) {
            auto *box = qobject_cast<QMessageBox *>(dialog);
            QVERIFY(box);
            QCOMPARE(box->parentWidget(), window.get());
            question = {box->windowTitle(), box->text(), box->standardButtons(),
                        box->standardButton(box->defaultButton()), box->pos(), QPoint()};
            const QRect screen = QGuiApplication::primaryScreen()->geometry();
            question.expected = QPoint((screen.width() - box->sizeHint().width()) / 2,
                                       (screen.height() - box->sizeHint().height()) / 2);
        };

        QTest::keyClick(window.get(), Qt::Key_A); // other keys do nothing
        QVERIFY(run.dialogs.isEmpty());
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QCOMPARE(run.dialogs, QStringList{QStringLiteral("Snaplark 1.24")});
        QCOMPARE(question.text, QStringLiteral("Do you really want to cancel uploading?"));
        QCOMPARE(question.buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(question.defaultButton, QMessageBox::Yes);
        QCOMPARE(question.position, question.expected);

        const bool yes = answer == QMessageBox::Yes;
        QCOMPARE(window->isVisible(), !yes);
        QCOMPARE(run.endCodes, yes ? QList<int>{0} : QList<int>());
    }

    void errorBoxAnswers()
    {
        WndUploadErrorMsgBox box;
        QCOMPARE(box.windowTitle(), QStringLiteral("Snaplark Upload Exception"));
        QCOMPARE(box.size(), QSize(430, 150));
        QCOMPARE(clickDuringRun(&box, "btnRetry"), 1);
        QCOMPARE(clickDuringRun(&box, "btnSave"), 2);
        QCOMPARE(clickDuringRun(&box, "btnClose"), 0);

        // Save lies over the base's Cancel button and takes its clicks.
        auto *save = box.findChild<QPushButton *>(QStringLiteral("btnSave"));
        auto *cancel = box.findChild<QPushButton *>(QStringLiteral("btnCancel"));
        QVERIFY(!cancel->isHidden());
        QCOMPARE(save->geometry(), cancel->geometry());
        QCOMPARE(box.childAt(save->geometry().center()), save);
        QCOMPARE(box.findChild<QPushButton *>(QStringLiteral("btnRetry"))->geometry(), QRect(310, 33, 110, 40));
    }
};

QTEST_MAIN(TestUploadDialogs)
#include "tst_uploaddialogs.moc"

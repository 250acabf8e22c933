#include "app/clipboardkeeper.h"
#include "testsupport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QX11Info>
#include <QtTest>

#include <xcb/xcb.h>

// When the hand-over to the keeper happens, short of starting it: the
// end-to-end tests read the clipboard through the real keeper after the
// program has ended.
class TestClipboardKeeper : public QObject
{
    Q_OBJECT

private slots:
    void handsOverOnlyWhenNeeded()
    {
        // Records the hand-over instead of starting the keeper, reading the
        // content file while it exists.
        struct CapturingLauncher : RecordingLauncher
        {
            bool startDetached(const QString &program, const QStringList &arguments) override
            {
                QFile file(arguments.value(0));
                content = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
                return RecordingLauncher::startDetached(program, arguments);
            }
            QByteArray content;
        } launcher;
        QClipboard *clipboard = QGuiApplication::clipboard();
        clipboard->setText(QStringLiteral("ours"));
        QTRY_VERIFY(clipboard->ownsClipboard());

        // A desktop's clipboard manager (the owner of CLIPBOARD_MANAGER) takes
        // the content itself.
        xcb_connection_t *connection = QX11Info::connection();
        const xcb_window_t manager = xcb_generate_id(connection);
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, manager, QX11Info::appRootWindow(), 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_intern_atom_reply_t *atom =
            xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, 17, "CLIPBOARD_MANAGER"), nullptr);
        xcb_set_selection_owner(connection, manager, atom->atom, XCB_CURRENT_TIME);
        std::free(atom);
        xcb_flush(connection);
        QVERIFY(ClipboardKeeper::clipboardManagerPresent());
        ClipboardKeeper::handOverIfNeeded();
        xcb_destroy_window(connection, manager);
        xcb_flush(connection);
        QVERIFY(!ClipboardKeeper::clipboardManagerPresent());

        // Not ours any more: nothing to keep.
        clipboard->clear();
        QTRY_VERIFY(!clipboard->ownsClipboard());
        ClipboardKeeper::handOverIfNeeded();
        QVERIFY(launcher.started.isEmpty());

        // Owned and no manager: the keeper is asked to take over.  This one never
        // shows up; the hand-over gives up and leaves no copy of the content.
        clipboard->setText(QStringLiteral("path on the clipboard"));
        QTRY_VERIFY(clipboard->ownsClipboard());
        ClipboardKeeper::handOverIfNeeded();
        QCOMPARE(launcher.started.size(), 1);
        QCOMPARE(launcher.started.first().first, ClipboardKeeper::keeperProgram());
        QVERIFY(!QFile::exists(launcher.started.first().second.value(0)));
        const std::unique_ptr<QMimeData> handed = ClipboardKeeper::decode(launcher.content);
        QVERIFY(handed);
        QCOMPARE(handed->text(), QStringLiteral("path on the clipboard"));
        // the keeper takes nothing but whole content
        QVERIFY(!ClipboardKeeper::decode(launcher.content.left(launcher.content.size() - 1)));
        QVERIFY(!ClipboardKeeper::decode("not clipboard content"));
    }
};

QTEST_MAIN(TestClipboardKeeper)
#include "tst_clipboardkeeper.moc"

#include "app/clipboardkeeper.h"
#include "testsupport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTimer>
#include <QX11Info>
#include <QtTest>

#include <xcb/xcb.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

const char kSetterSwitch[] = "--set-clipboard";

QImage samplePicture()
{
    QImage image(41, 29, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 6, 255 - y * 8, (x + y) * 3));
    return image;
}

// The child process: puts text and a picture on the clipboard, lets its event
// loop run, hands over as the program does at its end, and exits.  The keeper
// comes from the build's program folder, as the program would find it next to
// itself; its process id and the program asked for go to stdout.
class ReportingLauncher : public ProcessLauncher
{
public:
    bool startDetached(const QString &program, const QStringList &arguments) override
    {
        QProcess keeper;
        keeper.setProgram(QStringLiteral(SNAPLARK_BIN_DIR "/") + QFileInfo(program).fileName());
        keeper.setArguments(arguments);
        qint64 pid = 0;
        const bool started = keeper.startDetached(&pid);
        std::printf("%lld %s\n", static_cast<long long>(pid), qPrintable(program));
        return started;
    }
};

int runSetter(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    auto *data = new QMimeData;
    data->setText(QCoreApplication::arguments().value(2));
    data->setImageData(samplePicture());
    QGuiApplication::clipboard()->setMimeData(data);
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    app.exec();
    ReportingLauncher launcher;
    ProcessLauncher::setInstance(&launcher);
    ClipboardKeeper::handOverIfNeeded();
    ProcessLauncher::setInstance(nullptr);
    return 0;
}

bool processAlive(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    // "pid (name) state ...": a zombie has ended even if nobody reaped it yet.
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2, 1) != "Z";
}

QByteArray xclipOut(const QStringList &extra = {})
{
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"), QStringList{"-o", "-selection", "clipboard"} + extra);
    if (!xclip.waitForFinished(10000))
        xclip.kill();
    xclip.waitForFinished();
    return xclip.readAllStandardOutput();
}

// Records the hand-over instead of starting the keeper, reading the content
// file while it exists.
struct CapturingLauncher : RecordingLauncher
{
    bool startDetached(const QString &program, const QStringList &arguments) override
    {
        QFile file(arguments.value(0));
        if (file.open(QIODevice::ReadOnly))
            content = file.readAll();
        return RecordingLauncher::startDetached(program, arguments);
    }
    QByteArray content;
};

// Owns the CLIPBOARD_MANAGER selection while it lives, like a desktop's
// clipboard manager.
struct FakeClipboardManager
{
    xcb_connection_t *connection = QX11Info::connection();
    xcb_window_t window = xcb_generate_id(connection);

    FakeClipboardManager()
    {
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_intern_atom_reply_t *atom =
            xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, 17, "CLIPBOARD_MANAGER"), nullptr);
        xcb_set_selection_owner(connection, window, atom->atom, XCB_CURRENT_TIME);
        std::free(atom);
        xcb_flush(connection);
    }
    ~FakeClipboardManager()
    {
        xcb_destroy_window(connection, window);
        xcb_flush(connection);
    }
};

} // namespace

class TestClipboardKeeper : public QObject
{
    Q_OBJECT

private slots:
    void contentTravelsWhole()
    {
        QMimeData data;
        data.setText(QStringLiteral("Größe ✓ /tmp/a b.png"));
        data.setHtml(QStringLiteral("<b>link</b>"));
        data.setData(QStringLiteral("application/x-snaplark-test"), QByteArray("\0\x01\xff", 3));
        data.setImageData(samplePicture());
        const QByteArray encoded = ClipboardKeeper::encode(data);

        const std::unique_ptr<QMimeData> copy = ClipboardKeeper::decode(encoded);
        QVERIFY(copy);
        QCOMPARE(copy->text(), data.text());
        QCOMPARE(copy->html(), data.html());
        QCOMPARE(copy->data(QStringLiteral("application/x-snaplark-test")), QByteArray("\0\x01\xff", 3));
        QCOMPARE(qvariant_cast<QImage>(copy->imageData()), samplePicture());
        QVERIFY(!ClipboardKeeper::decode("not clipboard content"));
        QVERIFY(!ClipboardKeeper::decode(encoded.left(encoded.size() - 1)));
    }

    void keeperServesUntilAnotherProgramTakesOver()
    {
        const QString text = QStringLiteral("/home/u/Snaplark Captures/Größe.png");
        QProcess setter;
        setter.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        setter.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kSetterSwitch), text});
        QVERIFY(setter.waitForFinished(20000));
        QCOMPARE(setter.exitCode(), 0);
        const QList<QByteArray> reported = setter.readAllStandardOutput().trimmed().split(' ');
        const qint64 pid = reported.value(0).toLongLong();
        QVERIFY(pid > 0);
        const auto cleanup = qScopeGuard([pid] { if (processAlive(pid)) ::kill(pid_t(pid), SIGKILL); });
        QCOMPARE(QString::fromLocal8Bit(reported.value(1)),
                 QCoreApplication::applicationDirPath() + QStringLiteral("/snaplark-clipboard-keeper"));

        // The setter has ended; the keeper answers for it, and has removed
        // the content file.
        QVERIFY(processAlive(pid));
        QCOMPARE(QString::fromUtf8(xclipOut()), text);
        QCOMPARE(QImage::fromData(xclipOut({"-t", "image/png"}), "PNG").convertToFormat(QImage::Format_RGB32),
                 samplePicture());
        QVERIFY(QDir(QDir::tempPath()).entryList({QStringLiteral("snaplark-clipboard.*")}).isEmpty());

        QProcess other;
        other.start(QStringLiteral("xclip"), {"-quiet", "-i", "-selection", "clipboard"});
        other.write("taken over");
        other.closeWriteChannel();
        QTRY_VERIFY_WITH_TIMEOUT(!processAlive(pid), 10000);
        QCOMPARE(xclipOut(), QByteArray("taken over"));
        other.kill();
        other.waitForFinished();
    }

    void handsOverOnlyWhenNeeded()
    {
        QClipboard *clipboard = QGuiApplication::clipboard();
        CapturingLauncher launcher;
        clipboard->setText(QStringLiteral("ours"));
        QTRY_VERIFY(clipboard->ownsClipboard());
        {
            FakeClipboardManager manager;
            QVERIFY(ClipboardKeeper::clipboardManagerPresent());
            ClipboardKeeper::handOverIfNeeded();
        }
        QVERIFY(!ClipboardKeeper::clipboardManagerPresent());
        clipboard->clear();
        QTRY_VERIFY(!clipboard->ownsClipboard());
        ClipboardKeeper::handOverIfNeeded();
        QVERIFY(launcher.started.isEmpty());

        // Owned and no manager: the keeper is asked to take over.  This one
        // never shows up; the hand-over gives up after its timeout and leaves
        // no copy of the content behind.
        clipboard->setText(QStringLiteral("path on the clipboard"));
        QTRY_VERIFY(clipboard->ownsClipboard());
        ClipboardKeeper::handOverIfNeeded();
        clipboard->clear();
        QCOMPARE(launcher.started.size(), 1);
        QCOMPARE(launcher.started.first().first, ClipboardKeeper::keeperProgram());
        QVERIFY(!QFile::exists(launcher.started.first().second.value(0)));
        const std::unique_ptr<QMimeData> handed = ClipboardKeeper::decode(launcher.content);
        QVERIFY(handed);
        QCOMPARE(handed->text(), QStringLiteral("path on the clipboard"));
    }
};

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], kSetterSwitch) == 0)
        return runSetter(argc, argv);
    QGuiApplication app(argc, argv);
    TestClipboardKeeper test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_clipboardkeeper.moc"

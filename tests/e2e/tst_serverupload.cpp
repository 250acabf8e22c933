// The program against the real snaplark-server: a capture uploaded from a
// capture run, a video from the command line while signed in, signing in
// through the login window, the history, and the server's refusals shown in
// the program's failure box.
#include "core/appcontrol.h"
#include "desktopdriver.h"
#include "processdriver.h"
#include "serverprocess.h"
#include "settings/settings.h"
#include "standinopener.h"
#include "testsupport.h"
#include "upload/uploadmanager.h"
#include "upload/wndauthorization.h"

#include <QDBusConnection>
#include <QDir>
#include <QImage>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSettings>
#include <QWebFrame>
#include <QWebView>
#include <QtTest>

using Fields = QList<QPair<QByteArray, QByteArray>>;

namespace {

QByteArray metaContent(const QByteArray &page, const QByteArray &name)
{
    const QRegularExpression meta(QStringLiteral("<meta name=\"%1\" content=\"([^\"]*)\">").arg(QString::fromLatin1(name)));
    return meta.match(QString::fromUtf8(page)).captured(1).toUtf8();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestServerUpload : public QObject
{
    Q_OBJECT

    QString m_scratch;
    std::unique_ptr<ProgramCopy> m_copy;
    std::unique_ptr<StandinOpener> m_opener;
    std::unique_ptr<ServerProcess> m_server;
    std::unique_ptr<ProgramRun> m_run;
    QProcessEnvironment m_environment;

    quint16 port() const { return m_server->port(); }
    QString base() const { return QString::fromLatin1(m_server->baseUrl()); }

    bool startServer(const QStringList &options)
    {
        m_server = std::make_unique<ServerProcess>(m_scratch + QStringLiteral("/server-") +
                                                   QLatin1String(QTest::currentTestFunction()));
        if (!m_server->start(options))
            return false;
        m_environment.insert(QStringLiteral("SNAPLARK_SERVICE_URL"), base());
        qputenv("SNAPLARK_SERVICE_URL", m_server->baseUrl());
        return true;
    }
    bool startProgram(const QStringList &arguments)
    {
        m_run = m_copy->newRun(m_environment);
        return m_run->start(arguments);
    }
    QString opened() const { return m_opener->opened().trimmed(); }
    // The id of the upload's page the program opened; empty when it opened
    // nothing, or something else.
    QByteArray openedPageId() const
    {
        if (!waitUntil([&] { return !opened().isEmpty(); }, 5000))
            return QByteArray();
        const QRegularExpression page(QStringLiteral("^%1([a-z2-9]{12})\\.html$").arg(QRegularExpression::escape(base())));
        return page.match(opened()).captured(1).toLatin1();
    }
    // An account made over HTTP: its token and its CSRF cookie.
    QPair<QByteArray, QByteArray> signUp(const QByteArray &name)
    {
        const QByteArray csrf = Http::get(port(), "/netodb/plugin/auth/overlay").cookie("snaplark-csrf");
        const HttpReply reply = Http::postForm(port(), "/netodb/plugin/auth/overlay?client=desktop",
                                               Fields{{"csrf", csrf}, {"action", "signup"}, {"name", name}, {"password", "password-1"}},
                                               "snaplark-csrf=" + csrf);
        return qMakePair(metaContent(reply.body, "AuthId"), csrf);
    }
    QByteArray history(const QByteArray &token) { return Http::get(port(), "/my-snaplarks", "snaplark-auth-id=" + token).body; }

private slots:
    void initTestCase()
    {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "needs the private session bus of with-display");
        m_scratch = testScratchDir(QStringLiteral("serverupload"));
        m_copy = std::make_unique<ProgramCopy>(m_scratch + QStringLiteral("/bin"));
        QVERIFY(m_copy->isValid());
        // The desktop's default handler records what it is asked to open.
        m_opener = std::make_unique<StandinOpener>(m_scratch);
        QVERIFY(m_opener->isValid());
        m_environment = m_opener->environment();
    }
    void init()
    {
        QSettings(QStringLiteral("Snaplark"), QStringLiteral("Snaplark")).clear();
        m_opener->forget();
        QVERIFY(startServer({QStringLiteral("--max-upload"), QStringLiteral("2M")}));
    }
    void cleanup()
    {
        if (QTest::currentTestFailed() && m_server)
            qWarning().noquote() << m_server->log();
        m_run.reset();
        QVERIFY(m_copy->killAll());
        m_server.reset();
    }

    // A region captured and uploaded: the page on the clipboard and opened,
    // the page shows the capture, whose direct address gives the same bytes.
    void screenshotUpload()
    {
        Settings::setAuthId(QString::fromLatin1(signUp("shooter").first));
        Settings::setDefAction(Settings::ActionUpload);
        QDir(Desktop::capturesFolder()).removeRecursively();

        QVERIFY(startProgram({}));
        QVERIFY2(Desktop::waitForOverlay(m_run->pid()), qPrintable(m_run->log()));
        QVERIFY(Desktop::drag(QPoint(100, 120), QPoint(300, 260)));
        QVERIFY2(m_run->waitForFinished(20000), qPrintable(m_run->log()));
        QCOMPARE(m_run->exitCode(), 0);

        const QByteArray id = openedPageId();
        QVERIFY2(!id.isEmpty(), qPrintable(opened()));
        QCOMPARE(QString::fromUtf8(Desktop::clipboard()), opened());
        const QString local = Desktop::capturesFolder() + QLatin1Char('/') + QString::fromLatin1(id) + QStringLiteral(".png");
        QCOMPARE(QImage(local).size(), QSize(200, 140));
        QVERIFY(Http::get(port(), "/" + id + ".html").body.contains("<img src=\"" + m_server->baseUrl() + id + ".png\""));
        QCOMPARE(Http::get(port(), "/" + id + ".png").body, readFile(local));
    }

    // The command line's multipart form while signed in: the status-OK
    // path, the page opened, the video in the account's history.
    void commandLineVideoWhileSignedIn()
    {
        const QByteArray token = signUp("filmer").first;
        Settings::setAuthId(QString::fromLatin1(token));
        const QString path = m_scratch + QStringLiteral("/clip.mp4");
        QFile video(path);
        QVERIFY(video.open(QIODevice::WriteOnly));
        video.write(QByteArray(700000, '\x42'));
        video.close();

        QVERIFY(startProgram({path}));
        QVERIFY2(m_run->waitForFinished(20000), qPrintable(m_run->log()));
        QCOMPARE(m_run->exitCode(), 0);
        const QByteArray id = openedPageId();
        QVERIFY2(!id.isEmpty(), qPrintable(opened()));
        const HttpReply file = Http::get(port(), "/" + id + ".mp4");
        QCOMPARE(file.header("Content-Type"), QByteArray("video/mp4"));
        QCOMPARE(file.body, readFile(path));
        QVERIFY(history(token).contains("id=\"" + id + "\""));
        QCOMPARE(QFileInfo(path).size(), qint64(700000)); // the user's file stays
    }

    // Signing up in the program's login window stores the account's token;
    // the next upload lands in that account's history, not in another's,
    // and the history's Delete removes it.
    void loginWindowThenHistory()
    {
        int pages = 0;
        AppControl::setModalRunner([&](QDialog *dialog) {
            if (auto *window = qobject_cast<WndAuthorization *>(dialog)) {
                auto *view = window->findChild<QWebView *>();
                connect(view, &QWebView::loadFinished, window, [&pages, view](bool ok) {
                    if (ok && ++pages == 1)
                        view->page()->mainFrame()->evaluateJavaScript(QStringLiteral(
                            "var f = document.getElementById('signup');"
                            "f.elements['name'].value = 'windowuser'; f.elements['password'].value = 'long enough';"
                            "f.submit();"));
                });
                QTimer::singleShot(20000, window, &QWidget::close);
            }
            return dialog->exec();
        });
        WndAuthorization::login(nullptr);
        AppControl::setModalRunner({});
        QCOMPARE(Settings::username(), QStringLiteral("windowuser"));
        const QByteArray token = Settings::authId().toLatin1();
        QCOMPARE(token.size(), 64);

        const QString path = m_scratch + QStringLiteral("/shot.png");
        QImage(40, 30, QImage::Format_RGB32).save(path);
        QVERIFY(startProgram({path}));
        QVERIFY2(m_run->waitForFinished(20000), qPrintable(m_run->log()));
        QVERIFY(waitUntil([&] { return !opened().isEmpty(); }, 5000));
        const QByteArray id = opened().section(QLatin1Char('/'), -1).section(QLatin1Char('.'), 0, 0).toLatin1();

        const QPair<QByteArray, QByteArray> other = signUp("someoneelse");
        QVERIFY2(history(token).contains("id=\"" + id + "\""), id);
        QVERIFY(!history(other.first).contains(id));

        // the history's own Delete button, with its CSRF token
        const QByteArray page = Http::get(port(), "/my-snaplarks", "snaplark-auth-id=" + token + "; snaplark-csrf=" + other.second).body;
        QVERIFY(page.contains("<input type=\"hidden\" name=\"csrf\" value=\"" + other.second + "\">"));
        QCOMPARE(Http::postForm(port(), "/my-snaplarks/delete", Fields{{"id", id}, {"csrf", other.second}},
                                "snaplark-auth-id=" + other.first + "; snaplark-csrf=" + other.second).status, 403);
        QCOMPARE(Http::postForm(port(), "/my-snaplarks/delete", Fields{{"id", id}, {"csrf", other.second}},
                                "snaplark-auth-id=" + token + "; snaplark-csrf=" + other.second).status, 303);
        QVERIFY(!history(token).contains(id));
        QCOMPARE(Http::get(port(), "/" + id + ".png").status, 404);
    }

    // What the server refuses reaches the user in the failure box, in the
    // server's words; the capture stays.
    void refusalsShowTheServersMessage_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("message");
        QTest::newRow("too large") << QStringList{"--max-upload", "100k"} << "The file is larger than this server accepts (at most 100.0 KB).";
        QTest::newRow("disk full") << QStringList{"--max-storage", "100k"} << "The server has no room left for this file. Please try again later.";
        QTest::newRow("accounts only") << QStringList{"--anonymous-uploads", "no"}
                                       << "This server accepts uploads only from accounts. Please log in to upload.";
    }
    void refusalsShowTheServersMessage()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, message);
        QVERIFY(startServer(options));
        Settings::setLastRequest(QDateTime::currentDateTime().toString(Qt::ISODate)); // no login reminder
        const QString path = m_scratch + QStringLiteral("/big.png");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(QByteArray(300000, 'b')) == 300000);
        file.close();

        RecordingLauncher launcher;
        RunObserver run(0); // the box closed
        QStringList shown;
        run.onDialog = [&](QDialog *dialog) {
            auto *text = dialog->findChild<QPlainTextEdit *>(QStringLiteral("edError"));
            shown << dialog->windowTitle() + QLatin1Char(':') + (text ? text->toPlainText() : QString());
        };
        UploadManager::uploadFile(path, false);
        QVERIFY(QTest::qWaitFor([&] { return !run.endCodes.isEmpty(); }, 15000));
        QCOMPARE(shown, QStringList{QStringLiteral("Snaplark Upload Exception:") + message});
        QVERIFY(launcher.opened.isEmpty());
        QCOMPARE(QFileInfo(path).size(), qint64(300000));
    }
};

QTEST_MAIN(TestServerUpload)
#include "tst_serverupload.moc"

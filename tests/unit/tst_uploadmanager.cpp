// The upload client against the test service, in this process: the bytes of both request forms, the
// login reminder, the reply's three cases, retry and save, and that no failure loses the local file.
#include "extension/extension.h"
#include "settings/settings.h"
#include "testservice.h"
#include "testsupport.h"
#include "upload/uploadmanager.h"
#include "upload/wndcompletecustom.h"
#include "upload/wndcompletevideo.h"
#include "upload/wndprogress.h"

#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTcpServer>
#include <QtTest>

using Reply = TestService::Reply;
Q_DECLARE_METATYPE(QList<TestService::Reply>)

namespace {

const QString kFailureText = QStringLiteral(
    "File upload failed. Please check your internet connection. In case your connection is OK, please try "
    "again later. We might be updating our servers. You can save your screenshot locally and upload it later.");
const QString kCapture = QStringLiteral("snaplark.20240520.png");
const QString kLoginBox = QStringLiteral("Snaplark Login Exception");
const QString kUuid = QStringLiteral("[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}");

// The debug log of the current test.
QStringList g_log;
void keepLog(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg)
        fprintf(stderr, "%s\n", qPrintable(message));
    g_log << message;
}

QByteArray sample(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 131 + i / 251) & 0xff);
    return bytes;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Our own headers of a request, as "Name: value" in the order they were sent.
QList<QByteArray> ownHeaders(const TestService::Request &request)
{
    QList<QByteArray> own;
    for (const TestService::Header &h : request.headers)
        if (QList<QByteArray>{"User-Agent", "Host", "Version", "Content-Type", "Cookie"}.contains(h.first))
            own << h.first + ": " + h.second;
    return own;
}

QList<WndProgress *> progressWindows(bool visibleOnly = true)
{
    QList<WndProgress *> windows;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *progress = qobject_cast<WndProgress *>(widget); progress && (progress->isVisible() || !visibleOnly))
            windows << progress;
    return windows;
}
QList<WndProgress *> visibleProgressWindows() { return progressWindows(); }

} // namespace

class TestUploadManager : public QObject
{
    Q_OBJECT

    QString m_scratch, m_captures, m_file;
    QByteArray m_content;
    std::unique_ptr<TestService> m_service;
    std::unique_ptr<RecordingLauncher> m_launcher;
    std::unique_ptr<RunObserver> m_run;
    QStringList m_messages; // the text of each box shown

    QString base() const { return m_service->baseUrl().toString(); }
    // %1 = the service's base address, %2 = the captures folder
    QString fill(QString text) const { return text.replace(QLatin1String("%1"), base()).replace(QLatin1String("%2"), m_captures); }
    QString makeFile(const QString &name, const QByteArray &content)
    {
        const QString path = m_captures + QLatin1Char('/') + name;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    bool ended(int timeoutMs = 15000) { return QTest::qWaitFor([this] { return !m_run->endCodes.isEmpty(); }, timeoutMs); }
    // Uploads and waits for the end of the run: once, with 0.
    bool upload(const QString &path, bool fromCommandLine = false)
    {
        UploadManager::uploadFile(path, fromCommandLine);
        return ended() && m_run->endCodes == QList<int>{0};
    }
    QList<QByteArray> baseHeaders() const
    {
        return {"User-Agent: Snaplark", "Host: 127.0.0.1:" + QByteArray::number(m_service->port()), "Version: 1.24"};
    }

private slots:
    void initTestCase()
    {
        m_scratch = testScratchDir(QStringLiteral("uploadmanager"));
        // The real library tells the video extension.
        Extension::reloadForTesting(QStringLiteral(SNAPLARK_BIN_DIR));
        QCOMPARE(Extension::videoFileExtension(), QStringLiteral("mp4"));
        qInstallMessageHandler(keepLog);
    }
    void init()
    {
        QSettings(QStringLiteral("Snaplark"), QStringLiteral("Snaplark")).clear();
        Settings::setAuthId(QStringLiteral("tok-42"));
        Settings::setCurrentClipboard(Settings::ClipboardWebPageUrl);
        m_service = std::make_unique<TestService>();
        QVERIFY(m_service->isListening());
        qputenv("SNAPLARK_SERVICE_URL", m_service->serviceUrl());

        m_captures = m_scratch + QLatin1Char('/') + QString::fromLatin1(QTest::currentTestFunction());
        QDir(m_captures).removeRecursively();
        m_content = sample(3001);
        m_file = makeFile(kCapture, m_content);

        QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
        m_messages.clear();
        m_launcher = std::make_unique<RecordingLauncher>();
        m_run = std::make_unique<RunObserver>(0);
        m_run->onDialog = [this](QDialog *dialog) {
            auto *edit = dialog->findChild<QPlainTextEdit *>(QStringLiteral("edError"));
            m_messages << (edit ? edit->toPlainText() : QString());
            if (m_messages.size() > 1) // the answer is for the first box; later ones are closed
                m_run->answer = 0;
        };
        g_log.clear();
    }
    void cleanup()
    {
        m_run.reset();
        m_launcher.reset();
        m_service.reset();
        for (WndProgress *window : visibleProgressWindows())
            window->hide();
    }

    // The PUT form and a "FileName" reply: the capture renamed, the links, each
    // clipboard form, the browser; not logged in, the reminder rules as well.
    void putForm_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("daysSinceReminder"); // -2: logged in, -1: never reminded
        QTest::addColumn<bool>("reminded");
        QTest::addColumn<QString>("extension"); // of the request's target
        QTest::addColumn<int>("clipboard");
        QTest::addColumn<QString>("expected"); // see fill()
        QTest::newRow("page url") << kCapture << -2 << false << "png" << 0 << "%1Ab3.gif";
        QTest::newRow("direct url") << kCapture << -2 << false << "png" << 1 << "%1Ab3.png";
        QTest::newRow("local path") << kCapture << -2 << false << "png" << 2 << "%2/Ab3.png";
        QTest::newRow("site embed") << kCapture << -2 << false << "png" << 3
                                    << "<a href='%1Ab3.gif'><img src='%1Ab3.png' alt='Screen capture from Snaplark'/></a>";
        QTest::newRow("forum embed") << kCapture << -2 << false << "png" << 4 << "[URL=%1Ab3.gif][IMG]%1Ab3.png[/IMG][/URL]";
        QTest::newRow("bitmap") << kCapture << -2 << false << "png" << 5 << "untouched";
        QTest::newRow("none") << kCapture << -2 << false << "png" << 6 << "untouched";
        QTest::newRow("logged out: png, never reminded") << "a.png" << -1 << true << "png" << 0 << "%1Ab3.gif";
        QTest::newRow("logged out: png, 15 days ago") << "a.png" << 15 << true << "png" << 0 << "%1Ab3.gif";
        QTest::newRow("logged out: png, 13 days ago") << "a.png" << 13 << false << "png" << 0 << "%1Ab3.gif";
        QTest::newRow("logged out: gif, just now") << "a.gif" << 0 << true << "gif" << 0 << "%1Ab3.gif";
        // a dot in a folder's name is no extension
        QTest::newRow("logged out: no dot, the video extension") << "v1.2/clip" << 0 << true << "mp4" << 0 << "%1Ab3.gif";
    }
    void putForm()
    {
        QFETCH(QString, name);
        QFETCH(int, daysSinceReminder);
        QFETCH(bool, reminded);
        QFETCH(QString, extension);
        QFETCH(int, clipboard);
        QFETCH(QString, expected);
        const bool loggedIn = daysSinceReminder == -2;
        if (!loggedIn)
            Settings::setAuthId(QString());
        if (daysSinceReminder >= 0)
            Settings::setLastRequest(QDateTime::currentDateTime().addDays(-daysSinceReminder).toString(Qt::ISODate));
        const QString before = Settings::lastRequest();
        Settings::setCurrentClipboard(clipboard);
        const QString path = makeFile(name, m_content);
        m_service->enqueue(Reply::fileName("Ab3.gif#c2"));

        QVERIFY2(upload(path), qPrintable(g_log.join('\n')));
        QCOMPARE(m_run->dialogs, reminded ? QStringList{kLoginBox} : QStringList());
        if (reminded) {
            QCOMPARE(m_messages, QStringList{QStringLiteral("Please login to enable your history on site")});
            const QDateTime stored = QDateTime::fromString(Settings::lastRequest(), Qt::ISODate);
            QVERIFY2(Settings::lastRequest().size() == 19 && qAbs(stored.secsTo(QDateTime::currentDateTime())) < 5,
                     qPrintable(Settings::lastRequest()));
        } else {
            QCOMPARE(Settings::lastRequest(), before);
        }
        QCOMPARE(m_service->requestCount(), 1);
        const auto request = m_service->requests().first();
        const QRegularExpression line(QStringLiteral("^PUT /%1\\.%2$").arg(kUuid, extension));
        QVERIFY2(line.match(request.method + ' ' + request.target).hasMatch(), request.target.constData());
        QCOMPARE(ownHeaders(request), baseHeaders() << "Content-Type: application/octet-stream"
                                                    << "Cookie: snaplark-auth-id=" + QByteArray(loggedIn ? "tok-42" : ""));
        QCOMPARE(request.body, m_content);

        // renamed after the server's name, with the screenshot's extension
        QVERIFY(!QFile::exists(path));
        QCOMPARE(readFile(QFileInfo(path).path() + QStringLiteral("/Ab3.png")), m_content);
        QCOMPARE(m_launcher->opened, QList<QUrl>{QUrl(base() + QStringLiteral("Ab3.gif#c2"))});
        QCOMPARE(QSettings(QStringLiteral("Snaplark"), QStringLiteral("Snaplark")).value(QStringLiteral("LastCapture")).toString(),
                 base() + QStringLiteral("Ab3.gif"));
        QCOMPARE(QGuiApplication::clipboard()->text(), fill(expected));
        QVERIFY(visibleProgressWindows().isEmpty());
    }

    // Upload from a recording's completion dialog: the path first when that is the form, the recording
    // sent, then the usual reply handling (renamed with the recording's extension, the link, the run ended).
    void completionDialogUpload_data()
    {
        QTest::addColumn<bool>("video");
        QTest::addColumn<int>("clipboard");
        QTest::addColumn<QString>("expected"); // the clipboard in the end, see fill()
        QTest::newRow("gif, page url") << false << int(Settings::ClipboardWebPageUrl) << "%1Ab3.png";
        QTest::newRow("gif, local path") << false << int(Settings::ClipboardLocalPath) << "%2/Ab3.gif";
        QTest::newRow("video, page url") << true << int(Settings::ClipboardWebPageUrl) << "%1Ab3.png";
    }
    void completionDialogUpload()
    {
        QFETCH(bool, video);
        QFETCH(int, clipboard);
        QFETCH(QString, expected);
        Settings::setCaptureMode(video ? Settings::ModeVideo : Settings::ModeGif); // as the overlay left it
        Settings::setCurrentClipboard(clipboard);
        Settings::setVideoFileAction(0);
        const QString path = makeFile(video ? QStringLiteral("rec.mp4") : QStringLiteral("rec.gif"), m_content);
        m_service->enqueue(Reply::fileName("Ab3.png#c2"));
        std::unique_ptr<WndComplete> dialog;
        if (video)
            dialog = std::make_unique<WndCompleteVideo>(path);
        else
            dialog = std::make_unique<WndCompleteCustom>(path, Settings::ModeGif);
        dialog->show();

        dialog->findChild<QPushButton *>(QStringLiteral("btnUpload"))->click();
        // as the click left things (checked once the upload is over, so a failure ends this upload too)
        const bool hiddenAndGoingOn = !dialog->isVisible() && m_run->endCodes.isEmpty();
        const QString copied = QGuiApplication::clipboard()->text();
        QVERIFY2(ended() && m_run->endCodes == QList<int>{0}, qPrintable(g_log.join('\n')));
        QVERIFY(hiddenAndGoingOn);
        QCOMPARE(copied, clipboard == Settings::ClipboardLocalPath ? path : QStringLiteral("untouched"));
        QCOMPARE(Settings::videoFileAction(), video ? 1 : 0); // a GIF upload is not remembered
        QVERIFY(m_run->dialogs.isEmpty());
        const auto request = m_service->requests().value(0);
        const QRegularExpression line(QStringLiteral("^PUT /%1\\.%2$").arg(kUuid, video ? "mp4" : "gif"));
        QVERIFY2(line.match(request.method + ' ' + request.target).hasMatch(), request.target.constData());
        QCOMPARE(request.body, m_content);
        QVERIFY(!QFile::exists(path));
        QCOMPARE(readFile(fill(video ? "%2/Ab3.mp4" : "%2/Ab3.gif")), m_content);
        QCOMPARE(m_launcher->opened, QList<QUrl>{QUrl(base() + QStringLiteral("Ab3.png#c2"))});
        QCOMPARE(QGuiApplication::clipboard()->text(), fill(expected));
    }

    void commandLineMultipart_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<bool>("viaLoginBox"); // logged out, logs in through the box
        QTest::newRow("mp4") << QString::fromUtf8("clip ü.mp4") << QByteArray("video/mp4") << false;
        QTest::newRow("txt") << "notes.txt" << QByteArray("application/octet-stream") << false;
        QTest::newRow("vi") << "film.vi" << QByteArray("video/vi") << false;
        QTest::newRow("txt, after logging in") << "notes.txt" << QByteArray("application/octet-stream") << true;
    }
    void commandLineMultipart()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, type);
        QFETCH(bool, viaLoginBox);
        Settings::setSaveLocal(false);
        if (viaLoginBox) {
            Settings::setAuthId(QString());
            m_run->onDialog = [this](QDialog *) { Settings::setAuthId(QStringLiteral("tok-42")); m_run->answer = 1; };
        }
        const QString path = makeFile(name, m_content);
        m_service->enqueue(Reply::fileName("srv.mp4"));

        QVERIFY(upload(path, true));
        QCOMPARE(m_run->dialogs, viaLoginBox ? QStringList{kLoginBox} : QStringList());
        QCOMPARE(m_service->requestCount(), 1);
        const auto request = m_service->requests().first();
        QCOMPARE(request.method + ' ' + request.target, QByteArray("POST /api/upload"));
        const QList<QByteArray> headers = ownHeaders(request);
        QCOMPARE(headers.mid(0, 4), baseHeaders() << "Cookie: snaplark-auth-id=tok-42");
        const auto contentType =
            QRegularExpression(QStringLiteral("^Content-Type: multipart/form-data; boundary=(%1)$").arg(kUuid)).match(headers.value(4));
        QVERIFY2(contentType.hasMatch(), headers.value(4).constData());
        const QByteArray boundary = contentType.captured(1).toLatin1();

        // the time of "Added", as logged
        const QStringList stamps = g_log.filter(QRegularExpression(QStringLiteral("^\\d{4}(-\\d\\d){2}T\\d\\d(:\\d\\d){2}$")));
        QCOMPARE(stamps.size(), 1);
        const QString added = stamps.first();
        QVERIFY(qAbs(QDateTime::fromString(added, Qt::ISODate).secsTo(QDateTime::currentDateTime())) < 5);
        QCOMPARE(request.body, "--" + boundary + "\r\n"
                 "Content-Disposition: form-data; name=\"Added\"\r\n\r\n" + added.toUtf8() + "\r\n"
                 "--" + boundary + "\r\n"
                 "Content-Disposition: form-data; name=\"file\"; filename=\"" + name.toUtf8() + "\"\r\n"
                 "Content-Type: " + type + "\r\n\r\n" + m_content + "\r\n"
                 "--" + boundary + "--\r\n");

        // the user's file keeps its name, and stays although SaveLocal is off
        QCOMPARE(readFile(path), m_content);
        QCOMPARE(m_launcher->opened, QList<QUrl>{QUrl(base() + QStringLiteral("srv.mp4"))});
    }

    void refusedLoginSendsNothing()
    {
        Settings::setAuthId(QString());
        QElapsedTimer clock;
        clock.start();
        UploadManager::uploadFile(makeFile(QStringLiteral("notes.txt"), m_content), true);
        QCOMPARE(m_run->dialogs, QStringList{kLoginBox});
        QCOMPARE(m_messages, QStringList{QStringLiteral("You need to log in, to be able to upload files.")});
        // the run ends 100 ms later
        QVERIFY(ended());
        const qint64 endedAt = clock.elapsed();
        QVERIFY2(endedAt >= 95 && endedAt < 1000, qPrintable(QString::number(endedAt)));
        QCOMPARE(m_run->endCodes, QList<int>{0});
        QTest::qWait(200);
        QCOMPARE(m_service->requestCount(), 0);
        QVERIFY(visibleProgressWindows().isEmpty());
    }

    void progressIsShownWhileSending()
    {
        const QByteArray big = sample(12 * 1024 * 1024);
        m_service->enqueue(Reply::fileName("big1.png").slow(6 * 1024 * 1024));
        UploadManager::uploadFile(makeFile(QStringLiteral("big.png"), big), false);
        // the window is there before any byte has gone out
        QCOMPARE(visibleProgressWindows().size(), 1);
        QCOMPARE(g_log.last(), QStringLiteral("Send progress: 0 %"));
        WndProgress *window = visibleProgressWindows().first();
        QCOMPARE(window->windowTitle(), QStringLiteral("Snaplark Uploading Progress"));
        auto *bar = window->findChild<QProgressBar *>(QStringLiteral("progressBar"));
        QVERIFY(bar);

        // while it goes, the bar follows the reports
        QVERIFY2(QTest::qWaitFor([&] { return bar->value() >= 40; }, 10000), qPrintable(g_log.join('\n')));
        QVERIFY(bar->value() < 100 && window->isVisible());
        QVERIFY(ended(20000));
        QVERIFY(!window->isVisible());
        const QStringList reports = g_log.filter(QRegularExpression(QStringLiteral("^Send progress: \\d+ %$")));
        QList<int> percents;
        for (const QString &line : reports)
            percents << line.section(QLatin1Char(' '), 2, 2).toInt();
        QVERIFY2(std::is_sorted(percents.begin(), percents.end()) && percents.value(0) == 0 && percents.value(percents.size() - 1) == 100
                     && std::count_if(percents.begin(), percents.end(), [](int p) { return p > 0 && p < 100; }) >= 3,
                 qPrintable(reports.join(QStringLiteral(", "))));
        QCOMPARE(m_service->requests().first().body, big);

        // a report without a total shows 0 %
        UploadManager idle;
        idle.replyUploadProgress(0, 0);
        QCOMPARE(g_log.last(), QStringLiteral("Send progress: 0 %"));
    }

    // Every way an upload ends, with "SaveLocal" off and the local path as the clipboard form: no failure
    // touches a file, and success removes only the capture just uploaded, never an older capture under the
    // server's name, the user's own file or a file outside the folder.
    void outcomes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("commandLine");
        QTest::addColumn<QList<Reply>>("replies"); // in turn, the last one also to any further request
        QTest::addColumn<int>("answer"); // to the first box; later ones are closed
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QStringList>("remaining"); // files in the folder
        QTest::addColumn<QString>("clipboard"); // see fill()
        QTest::addColumn<QString>("opened"); // or empty
        const QStringList failure = {kFailureText};
        const QStringList wrong = {kFailureText, QStringLiteral("Wrong response")};
        const QStringList quota = {QStringLiteral("Quota exceeded")};
        const auto failed = [&](const char *tag, const Reply &reply, int answer, const QStringList &messages, bool folderShown) {
            QTest::newRow(tag) << kCapture << false << QList<Reply>{reply} << answer << messages << QStringList{"abc.png", kCapture}
                               << "untouched" << (folderShown ? "file://%2" : "");
        };
        failed("refused, closed", Reply(), 0, failure, false);
        failed("refused, save", Reply(), 2, failure, true);
        failed("http 500, closed", Reply::httpError(500), 0, failure, false);
        failed("dropped, save", Reply::dropped(), 2, failure, true);
        failed("server error, closed", Reply::statusError("Quota exceeded"), 0, quota, false);
        failed("server error, save", Reply::statusError("Quota exceeded"), 2, quota, false);
        failed("malformed, closed", Reply::html("<p>Service unavailable</p>"), 0, wrong, false);
        failed("malformed, save", Reply::html("<p>Service unavailable</p>"), 2, failure, true);
        failed("space after the colon", Reply::html("{\"status\": \"OK\",\"pageUrl\":\"http://a/b\"}"), 0, wrong, false);
        // status OK opens web pages only
        failed("OK with a local file", Reply::statusOk("file:\\/\\/\\/etc\\/passwd"), 0, wrong, false);
        failed("OK with a script", Reply::statusOk("javascript:alert(1)"), 0, wrong, false);
        // a "FileName" reaching out of the folder, towards another file
        failed("name in the parent folder", Reply::fileName("../outside/victim.png"), 0, wrong, false);
        failed("absolute name", Reply::fileName(QFile::encodeName(m_scratch) + "/outside/victim.png"), 0, wrong, false);
        failed("name with backslashes", Reply::fileName("..\\outside\\victim.png"), 0, wrong, false);
        failed("name is the parent", Reply::fileName(".."), 0, wrong, false);
        // the page reading the body runs no script and loads nothing ($ = the service)
        failed("body with scripts and loads", Reply::html(
            "{\"status\":\"ERROR\",\"message\":\"Denied\"}"
            "<script>document.body.innerText = 'status:OK,pageUrl:http://evil.example/';</script>"
            "<script src=\"$script\"></script><img src=\"$img\"><link rel=\"stylesheet\" href=\"$css\">"
            "<iframe src=\"$frame\"></iframe><object data=\"$object\" type=\"application/x-shockwave-flash\"></object>"),
               0, {QStringLiteral("Denied")}, false);

        // ends well under the server's name, the older capture left alone
        const auto renamed = [&](const char *tag, const QString &name, bool commandLine, const QList<Reply> &replies,
                                 const QStringList &retriedAfter, const QString &serverName) {
            QTest::newRow(tag) << name << commandLine << replies << int(!retriedAfter.isEmpty()) << retriedAfter
                               << QStringList{"abc.png"} << "%2/" + serverName << "%1" + serverName;
        };
        const Reply fresh = Reply::fileName("new.png");
        renamed("renamed, then removed", kCapture, false, {fresh}, {}, "new.png");
        renamed("retry after a reply error", kCapture, false, {Reply::httpError(503), fresh}, failure, "new.png");
        renamed("retry after a server error", kCapture, false, {Reply::statusError("Busy"), fresh}, {"Busy"}, "new.png");
        renamed("command line: the user's file", "abc.png", true, {Reply::fileName("abc.png")}, {}, "abc.png");
        // the local path names the uploaded file where it is, not the file it was not renamed to
        QTest::newRow("name of an older capture") << kCapture << false << QList<Reply>{Reply::fileName("abc.png")} << 0
                                                  << QStringList() << QStringList{"abc.png"} << "%2/" + kCapture << "%1abc.png";
        QTest::newRow("command line: another name") << "mine.png" << true << QList<Reply>{fresh} << 0 << QStringList()
                                                    << QStringList{"abc.png", "mine.png"} << "%2/mine.png" << "%1new.png";
        QTest::newRow("status OK") << kCapture << false << QList<Reply>{Reply::statusOk("http:\\/\\/s.example\\/page7")} << 0
                                   << QStringList() << QStringList{"abc.png", kCapture} << "untouched" << "http://s.example/page7";
    }
    void outcomes()
    {
        QFETCH(QString, name);
        QFETCH(bool, commandLine);
        QFETCH(QList<Reply>, replies);
        QFETCH(int, answer);
        QFETCH(QStringList, messages);
        QFETCH(QStringList, remaining);
        QFETCH(QString, clipboard);
        QFETCH(QString, opened);
        Settings::setSaveLocal(false);
        Settings::setCurrentClipboard(Settings::ClipboardLocalPath);
        QFile::remove(m_file);
        makeFile(QStringLiteral("abc.png"), "older capture");
        const QString victim = makeFile(QStringLiteral("../outside/victim.png"), "precious");
        const QString path = makeFile(name, m_content);
        const bool refused = QByteArray(QTest::currentDataTag()).startsWith("refused");
        const bool loads = replies.last().body.contains('$');
        for (Reply reply : replies) {
            reply.body.replace('$', m_service->serviceUrl() + "probe-");
            m_service->enqueue(reply);
            m_service->setFallback(reply);
        }
        if (refused) {
            QTcpServer gone; // its port is free again once it is gone
            QVERIFY(gone.listen(QHostAddress::LocalHost));
            qputenv("SNAPLARK_SERVICE_URL", QStringLiteral("http://127.0.0.1:%1/").arg(gone.serverPort()).toLatin1());
        }
        m_run->answer = answer;
        const int windowsBefore = progressWindows(false).size();

        QVERIFY(upload(path, commandLine));
        QCOMPARE(progressWindows(false).size(), windowsBefore + 1); // one, however often it retried
        QCOMPARE(m_messages, messages);
        if (!messages.isEmpty())
            QCOMPARE(m_run->dialogs.first(), QStringLiteral("Snaplark Upload Exception"));
        if (refused && answer == 0)
            QVERIFY2(g_log.contains(QStringLiteral("Reply error: Connection refused")), qPrintable(g_log.join('\n')));
        QCOMPARE(m_launcher->opened, opened.isEmpty() ? QList<QUrl>() : QList<QUrl>{QUrl(fill(opened))});
        QCOMPARE(QDir(m_captures).entryList(QDir::Files), remaining);
        for (const QString &file : remaining)
            QCOMPARE(readFile(m_captures + QLatin1Char('/') + file), file == name ? m_content : QByteArray("older capture"));
        QCOMPARE(readFile(victim), QByteArray("precious"));
        QCOMPARE(QGuiApplication::clipboard()->text(), fill(clipboard));
        QVERIFY(visibleProgressWindows().isEmpty());

        if (loads)
            QTest::qWait(500);
        const auto requests = m_service->requests();
        QCOMPARE(requests.size(), refused ? 0 : replies.size());
        for (const auto &request : requests)
            QCOMPARE(request.method, QByteArray("PUT"));
        if (messages.isEmpty() || answer == 1) // it ended well
            QCOMPARE(requests.last().body, m_content);
        if (requests.size() == 2) {
            QVERIFY(requests.at(0).target != requests.at(1).target); // a new UUID
            // a second after a reply error, at once after a server error; coarse timers fire up to 5 % early
            const bool delayed = messages.first() == kFailureText;
            QCOMPARE(g_log.contains(QStringLiteral("Restarting")), delayed);
            const double gap = requests.at(1).firstByteMs - requests.at(0).lastByteMs;
            QVERIFY2(delayed ? gap >= 950 : gap < 900, qPrintable(QString::number(gap)));
        }
    }
};

QTEST_MAIN(TestUploadManager)
#include "tst_uploadmanager.moc"

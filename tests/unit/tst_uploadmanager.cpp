// The upload client against the test service, in this process: the bytes of
// both request forms, the login reminder, the reply's three cases, retry and
// save, and that no failure loses the local file.
#include "extension/extension.h"
#include "settings/settings.h"
#include "testservice.h"
#include "testsupport.h"
#include "upload/uploadmanager.h"
#include "upload/wndprogress.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSettings>
#include <QTcpServer>
#include <QtTest>

#include <memory>

using Reply = TestService::Reply;
using Request = TestService::Request;
Q_DECLARE_METATYPE(TestService::Reply)

namespace {

const QString kFailureText = QStringLiteral(
    "File upload failed. Please check your internet connection. In case your connection is OK, please try "
    "again later. We might be updating our servers. You can save your screenshot locally and upload it later.");
const QString kUploadBox = QStringLiteral("Snaplark Upload Exception");
const QString kLoginBox = QStringLiteral("Snaplark Login Exception");
const QString kUuid = QStringLiteral("[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}");

// The debug log with the time of each line.
class LogCapture
{
public:
    LogCapture()
    {
        s_current = this;
        m_clock.start();
        m_previous = qInstallMessageHandler(&LogCapture::handler);
    }
    ~LogCapture()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    QStringList lines() const
    {
        QStringList result;
        for (const auto &entry : m_lines)
            result.append(entry.second);
        return result;
    }
    // Time of the n-th line (0-based) equal to text; -1 when there is none.
    qint64 timeOf(const QString &text, int n = 0) const
    {
        for (const auto &entry : m_lines)
            if (entry.second == text && n-- == 0)
                return entry.first;
        return -1;
    }
    bool contains(const QString &text) const { return lines().contains(text); }

private:
    static void handler(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        if (type != QtDebugMsg)
            fprintf(stderr, "%s\n", qPrintable(message));
        if (s_current)
            s_current->m_lines.append({s_current->m_clock.elapsed(), message});
    }
    static LogCapture *s_current;
    QtMessageHandler m_previous;
    QElapsedTimer m_clock;
    QList<QPair<qint64, QString>> m_lines;
};
LogCapture *LogCapture::s_current = nullptr;

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

// Our own headers of a request, in the order they were sent.
QList<QByteArray> ownHeaderNames(const Request &request)
{
    static const QList<QByteArray> own = {"User-Agent", "Host", "Version", "Content-Type", "Cookie"};
    QList<QByteArray> names;
    for (const TestService::Header &h : request.headers)
        if (own.contains(h.first))
            names.append(h.first);
    return names;
}

QString message(QDialog *dialog)
{
    auto *edit = dialog->findChild<QPlainTextEdit *>(QStringLiteral("edError"));
    return edit ? edit->toPlainText() : QString();
}

QList<WndProgress *> visibleProgressWindows()
{
    QList<WndProgress *> windows;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *progress = qobject_cast<WndProgress *>(widget))
            if (progress->isVisible())
                windows.append(progress);
    return windows;
}

} // namespace

class TestUploadManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void putWhileLoggedIn_data();
    void putWhileLoggedIn();
    void loginReminder_data();
    void loginReminder();
    void commandLineMultipart_data();
    void commandLineMultipart();
    void commandLineNeedsLogin();
    void progressIsShownWhileSending();

    void failures_data();
    void failures();
    void retryAfterFailureStartsAgainAfterASecond();
    void retryAfterServerErrorStartsAtOnce();

    void unsafeFileNameTouchesNoFile_data();
    void unsafeFileNameTouchesNoFile();
    void saveLocalOffRemovesTheUploadedFileOnly();
    void commandLineUploadNeverDeletesTheUsersFile();
    void replyBodyCannotRunScriptsOrLoadAnything();
    void statusOkOpensOnlyWebPages();

private:
    QString makeFile(const QString &name, const QByteArray &content);
    void upload(const QString &path, bool fromCommandLine);
    bool waitForEnd(int timeoutMs = 15000);
    QString base() const { return m_service->baseUrl().toString(); }

    QString m_scratch;
    QString m_captures;
    QString m_file;
    QByteArray m_content;
    std::unique_ptr<TestService> m_service;
    std::unique_ptr<RecordingLauncher> m_launcher;
    std::unique_ptr<RunObserver> m_run;
    std::unique_ptr<LogCapture> m_log;
    QStringList m_messages;
};

void TestUploadManager::initTestCase()
{
    m_scratch = testScratchDir(QStringLiteral("uploadmanager"));
    // The real library tells the video extension.
    Extension::reloadForTesting(QStringLiteral(SNAPLARK_BIN_DIR));
    QCOMPARE(Extension::videoFileExtension(), QStringLiteral("mp4"));
}

void TestUploadManager::init()
{
    QSettings(QStringLiteral("Snaplark"), QStringLiteral("Snaplark")).clear();
    Settings::setAuthId(QStringLiteral("tok-42"));
    Settings::setCurrentClipboard(Settings::ClipboardWebPageUrl);
    m_service = std::make_unique<TestService>();
    QVERIFY(m_service->isListening());
    qputenv("SNAPLARK_SERVICE_URL", m_service->serviceUrl());

    m_captures = m_scratch + QStringLiteral("/") + QString::fromLatin1(QTest::currentTestFunction());
    QDir(m_captures).removeRecursively();
    QVERIFY(QDir().mkpath(m_captures));
    m_content = sample(3001);
    m_file = makeFile(QStringLiteral("snaplark.20240520.png"), m_content);

    QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
    m_messages.clear();
    m_launcher = std::make_unique<RecordingLauncher>();
    m_run = std::make_unique<RunObserver>(0);
    m_run->onDialog = [this](QDialog *dialog) { m_messages.append(message(dialog)); };
    m_log = std::make_unique<LogCapture>();
}

void TestUploadManager::cleanup()
{
    m_log.reset();
    m_run.reset();
    m_launcher.reset();
    m_service.reset();
    for (WndProgress *window : visibleProgressWindows())
        window->hide();
}

QString TestUploadManager::makeFile(const QString &name, const QByteArray &content)
{
    const QString path = m_captures + QLatin1Char('/') + name;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestUploadManager::upload(const QString &path, bool fromCommandLine)
{
    UploadManager::uploadFile(path, fromCommandLine);
}

bool TestUploadManager::waitForEnd(int timeoutMs)
{
    return QTest::qWaitFor([this] { return !m_run->endCodes.isEmpty(); }, timeoutMs);
}

// ------------------------------------------------------------ the PUT form

void TestUploadManager::putWhileLoggedIn_data()
{
    QTest::addColumn<int>("clipboard");
    QTest::addColumn<QString>("expected"); // %1 = base address, %2 = folder
    QTest::newRow("page url") << 0 << "%1Ab3.gif";
    QTest::newRow("direct url") << 1 << "%1Ab3.png";
    QTest::newRow("local path") << 2 << "%2/Ab3.png";
    QTest::newRow("site embed") << 3 << "<a href='%1Ab3.gif'><img src='%1Ab3.png' alt='Screen capture from Snaplark'/></a>";
    QTest::newRow("forum embed") << 4 << "[URL=%1Ab3.gif][IMG]%1Ab3.png[/IMG][/URL]";
    QTest::newRow("bitmap") << 5 << "untouched";
    QTest::newRow("none") << 6 << "untouched";
}

void TestUploadManager::putWhileLoggedIn()
{
    QFETCH(int, clipboard);
    QFETCH(QString, expected);
    Settings::setCurrentClipboard(clipboard);
    m_service->enqueue(Reply::fileName("Ab3.gif#c2"));

    upload(m_file, false);
    QVERIFY2(waitForEnd(), qPrintable(m_log->lines().join('\n')));
    QCOMPARE(m_run->endCodes, QList<int>{0});
    QVERIFY(m_run->dialogs.isEmpty());

    QCOMPARE(m_service->requestCount(), 1);
    const Request request = m_service->requests().first();
    QCOMPARE(request.method, QByteArray("PUT"));
    QVERIFY2(QRegularExpression(QStringLiteral("^/%1\\.png$").arg(kUuid)).match(QString::fromLatin1(request.target)).hasMatch(),
             request.target.constData());
    QCOMPARE(ownHeaderNames(request), QList<QByteArray>({"User-Agent", "Host", "Version", "Content-Type", "Cookie"}));
    QCOMPARE(request.header("User-Agent"), QByteArray("Snaplark"));
    QCOMPARE(request.header("Host"), QByteArray("127.0.0.1:") + QByteArray::number(m_service->port()));
    QCOMPARE(request.header("Version"), QByteArray("1.24"));
    QCOMPARE(request.header("Content-Type"), QByteArray("application/octet-stream"));
    QCOMPARE(request.header("Cookie"), QByteArray("snaplark-auth-id=tok-42"));
    QCOMPARE(request.body(), m_content);
    QVERIFY(m_log->contains(base() + request.target.mid(1)));

    // renamed after the server's name, with the screenshot's extension
    const QString renamed = m_captures + QStringLiteral("/Ab3.png");
    QVERIFY(!QFile::exists(m_file));
    QCOMPARE(readFile(renamed), m_content);
    QCOMPARE(m_launcher->opened, QList<QUrl>{QUrl(base() + QStringLiteral("Ab3.gif#c2"))});
    QCOMPARE(QSettings(QStringLiteral("Snaplark"), QStringLiteral("Snaplark")).value(QStringLiteral("LastCapture")).toString(),
             base() + QStringLiteral("Ab3.gif"));
    expected.replace(QLatin1String("%1"), base()).replace(QLatin1String("%2"), m_captures);
    QCOMPARE(QGuiApplication::clipboard()->text(), expected);
    QVERIFY(visibleProgressWindows().isEmpty());
}

void TestUploadManager::loginReminder_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("daysSinceReminder"); // -1: never reminded
    QTest::addColumn<bool>("reminded");
    QTest::addColumn<QString>("target"); // pattern after the UUID
    QTest::newRow("png, never reminded") << "a.png" << -1 << true << "\\.png";
    QTest::newRow("png, 15 days ago") << "a.png" << 15 << true << "\\.png";
    QTest::newRow("png, 13 days ago") << "a.png" << 13 << false << "\\.png";
    QTest::newRow("gif, just now") << "a.gif" << 0 << true << "\\.gif";
    // a dot in a folder's name is no extension
    QTest::newRow("no dot: the library's video extension") << "v1.2/clip" << 0 << true << "\\.mp4";
}

void TestUploadManager::loginReminder()
{
    QFETCH(QString, name);
    QFETCH(int, daysSinceReminder);
    QFETCH(bool, reminded);
    QFETCH(QString, target);
    Settings::setAuthId(QString());
    const QString before = daysSinceReminder < 0
        ? QString()
        : QDateTime::currentDateTime().addDays(-daysSinceReminder).toString(Qt::ISODate);
    if (!before.isEmpty())
        Settings::setLastRequest(before);
    m_service->enqueue(Reply::fileName("r1.png"));
    const QString path = makeFile(name, m_content);

    upload(path, false);
    QVERIFY(waitForEnd());
    if (reminded) {
        QCOMPARE(m_run->dialogs, QStringList{kLoginBox});
        QCOMPARE(m_messages, QStringList{QStringLiteral("Please login to enable your history on site")});
        const QDateTime stored = QDateTime::fromString(Settings::lastRequest(), Qt::ISODate);
        QVERIFY2(qAbs(stored.secsTo(QDateTime::currentDateTime())) < 5, qPrintable(Settings::lastRequest()));
        QCOMPARE(Settings::lastRequest().size(), 19);
    } else {
        QVERIFY(m_run->dialogs.isEmpty());
        QCOMPARE(Settings::lastRequest(), before);
    }
    // the upload goes on either way, without a token
    QCOMPARE(m_service->requestCount(), 1);
    const Request request = m_service->requests().first();
    QCOMPARE(request.header("Cookie"), QByteArray("snaplark-auth-id="));
    QVERIFY2(QRegularExpression(QStringLiteral("^/%1%2$").arg(kUuid, target)).match(QString::fromLatin1(request.target)).hasMatch(),
             request.target.constData());
    QCOMPARE(m_run->endCodes, QList<int>{0});
}

// ------------------------------------------------------------ the multipart form

void TestUploadManager::commandLineMultipart_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("type");
    QTest::newRow("mp4") << QString::fromUtf8("clip ü.mp4") << QByteArray("video/mp4");
    QTest::newRow("txt") << "notes.txt" << QByteArray("application/octet-stream");
    QTest::newRow("vi") << "film.vi" << QByteArray("video/vi");
}

void TestUploadManager::commandLineMultipart()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, type);
    Settings::setSaveLocal(false);
    const QString path = makeFile(name, m_content);
    m_service->enqueue(Reply::fileName("srv.mp4"));

    upload(path, true);
    QVERIFY(waitForEnd());
    QCOMPARE(m_run->endCodes, QList<int>{0});
    QVERIFY(m_run->dialogs.isEmpty());
    QCOMPARE(m_service->requestCount(), 1);
    const Request request = m_service->requests().first();
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.target, QByteArray("/api/upload"));
    QCOMPARE(ownHeaderNames(request), QList<QByteArray>({"User-Agent", "Host", "Version", "Cookie", "Content-Type"}));
    QCOMPARE(request.header("Cookie"), QByteArray("snaplark-auth-id=tok-42"));

    const QRegularExpressionMatch contentType =
        QRegularExpression(QStringLiteral("^multipart/form-data; boundary=(%1)$").arg(kUuid))
            .match(QString::fromLatin1(request.header("Content-Type")));
    QVERIFY2(contentType.hasMatch(), request.header("Content-Type").constData());
    const QByteArray boundary = contentType.captured(1).toLatin1();

    const QString added = m_log->lines().value(m_log->lines().indexOf(QStringLiteral("Uploading file")) + 1);
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d$")).match(added).hasMatch(),
             qPrintable(added));
    QVERIFY(qAbs(QDateTime::fromString(added, Qt::ISODate).secsTo(QDateTime::currentDateTime())) < 5);
    const QByteArray expected = "--" + boundary + "\r\n"
        "Content-Disposition: form-data; name=\"Added\"\r\n\r\n" + added.toUtf8() + "\r\n"
        "--" + boundary + "\r\n"
        "Content-Disposition: form-data; name=\"file\"; filename=\"" + name.toUtf8() + "\"\r\n"
        "Content-Type: " + type + "\r\n\r\n" + m_content + "\r\n"
        "--" + boundary + "--\r\n";
    QCOMPARE(request.body(), expected);

    // the user's file keeps its name, and stays although SaveLocal is off
    QCOMPARE(readFile(path), m_content);
    QVERIFY(!QFile::exists(m_captures + QStringLiteral("/srv.mp4")));
    QCOMPARE(m_launcher->opened, QList<QUrl>{QUrl(base() + QStringLiteral("srv.mp4"))});
}

void TestUploadManager::commandLineNeedsLogin()
{
    Settings::setAuthId(QString());
    const QString path = makeFile(QStringLiteral("notes.txt"), m_content);

    // refused: nothing is sent, and the run ends 100 ms later
    QElapsedTimer clock;
    clock.start();
    qint64 endedAt = -1;
    AppControl::setEndRunHandler([&](int code) {
        m_run->endCodes.append(code);
        endedAt = clock.elapsed();
    });
    upload(path, true);
    QCOMPARE(m_run->dialogs, QStringList{kLoginBox});
    QCOMPARE(m_messages, QStringList{QStringLiteral("You need to log in, to be able to upload files.")});
    QVERIFY(m_run->endCodes.isEmpty());
    QVERIFY(waitForEnd());
    QCOMPARE(m_run->endCodes, QList<int>{0});
    QVERIFY2(endedAt >= 95 && endedAt < 1000, qPrintable(QString::number(endedAt)));
    QTest::qWait(200);
    QCOMPARE(m_service->requestCount(), 0);
    QVERIFY(visibleProgressWindows().isEmpty());

    // logging in through the box sends the form with the new token
    m_run.reset(); // its end clears the handlers, so before the next one
    m_run = std::make_unique<RunObserver>(0);
    m_run->onDialog = [this](QDialog *) {
        Settings::setAuthId(QStringLiteral("fresh"));
        m_run->answer = 1;
    };
    m_service->enqueue(Reply::fileName("n1.txt"));
    upload(path, true);
    QVERIFY(waitForEnd());
    QCOMPARE(m_service->requestCount(), 1);
    QCOMPARE(m_service->requests().first().target, QByteArray("/api/upload"));
    QCOMPARE(m_service->requests().first().header("Cookie"), QByteArray("snaplark-auth-id=fresh"));
}

void TestUploadManager::progressIsShownWhileSending()
{
    const QByteArray big = sample(12 * 1024 * 1024);
    const QString path = makeFile(QStringLiteral("big.png"), big);
    m_service->enqueue(Reply::fileName("big1.png").slow(6 * 1024 * 1024));

    upload(path, false);
    // the window is there before any byte has gone out
    QCOMPARE(visibleProgressWindows().size(), 1);
    QCOMPARE(m_log->lines().last(), QStringLiteral("Send progress: 0 %"));
    WndProgress *window = visibleProgressWindows().first();
    QCOMPARE(window->windowTitle(), QStringLiteral("Snaplark Uploading Progress"));
    auto *bar = window->findChild<QProgressBar *>(QStringLiteral("progressBar"));
    QVERIFY(bar);

    // while it goes, the bar follows the reports
    QVERIFY2(QTest::qWaitFor([&] { return bar->value() >= 40; }, 10000), qPrintable(m_log->lines().join('\n')));
    QVERIFY(bar->value() < 100);
    QVERIFY(window->isVisible());

    QVERIFY(waitForEnd(20000));
    QVERIFY(!window->isVisible());
    QList<int> percents;
    static const QRegularExpression report(QStringLiteral("^Send progress: (\\d+) %$"));
    for (const QString &line : m_log->lines()) {
        const QRegularExpressionMatch match = report.match(line);
        if (match.hasMatch())
            percents.append(match.captured(1).toInt());
    }
    QString reported;
    for (int p : percents)
        reported += QString::number(p) + QLatin1Char(' ');
    QVERIFY2(std::is_sorted(percents.begin(), percents.end()), qPrintable(reported));
    QCOMPARE(percents.first(), 0);
    QCOMPARE(percents.last(), 100);
    QVERIFY2(std::count_if(percents.begin(), percents.end(), [](int p) { return p > 0 && p < 100; }) >= 3,
             qPrintable(QStringLiteral("%1 reports").arg(percents.size())));
    QCOMPARE(m_service->requests().first().body(), big);

    // a report without a total shows 0 %
    UploadManager idle;
    idle.replyUploadProgress(0, 0);
    QCOMPARE(m_log->lines().last(), QStringLiteral("Send progress: 0 %"));
}

// ------------------------------------------------------------ failures

void TestUploadManager::failures_data()
{
    QTest::addColumn<Reply>("reply");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("folderShown");
    QTest::addColumn<QString>("logLine"); // a line the log must have, or empty

    const QStringList failure = {kFailureText};
    const QStringList wrong = {kFailureText, QStringLiteral("Wrong response")};
    QTest::newRow("refused, closed") << Reply() << 0 << failure << false << "Reply error: Connection refused";
    QTest::newRow("refused, save") << Reply() << 2 << failure << true << "";
    QTest::newRow("http 500, closed") << Reply::httpError(500) << 0 << failure << false << "";
    QTest::newRow("dropped, save") << Reply::dropped() << 2 << failure << true << "";
    QTest::newRow("server error, closed") << Reply::statusError("Quota exceeded") << 0
                                          << QStringList{QStringLiteral("Quota exceeded")} << false << "";
    QTest::newRow("server error, save") << Reply::statusError("Quota exceeded") << 2
                                        << QStringList{QStringLiteral("Quota exceeded")} << false << "";
    QTest::newRow("malformed, closed") << Reply::html("<p>Service unavailable</p>") << 0 << wrong << false
                                       << "Wrong response";
    QTest::newRow("malformed, save") << Reply::html("<p>Service unavailable</p>") << 2 << failure << true << "";
    QTest::newRow("space after the colon") << Reply::html("{\"status\": \"OK\",\"pageUrl\":\"http://a/b\"}") << 0
                                           << wrong << false << "";
}

void TestUploadManager::failures()
{
    QFETCH(Reply, reply);
    QFETCH(int, answer);
    QFETCH(QStringList, messages);
    QFETCH(bool, folderShown);
    QFETCH(QString, logLine);
    if (QByteArray(QTest::currentDataTag()).startsWith("refused")) {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        qputenv("SNAPLARK_SERVICE_URL", QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort()).toLatin1());
    } else {
        m_service->setFallback(reply);
    }
    m_run->answer = answer;

    upload(m_file, false);
    QVERIFY(waitForEnd());
    QCOMPARE(m_run->endCodes, QList<int>{0});
    QCOMPARE(m_messages, messages);
    QCOMPARE(m_run->dialogs.first(), kUploadBox);
    const QList<QUrl> folder = {QUrl::fromLocalFile(m_captures)};
    QCOMPARE(m_launcher->opened, folderShown ? folder : QList<QUrl>());
    if (!logLine.isEmpty())
        QVERIFY2(m_log->contains(logLine), qPrintable(m_log->lines().join('\n')));
    // nothing renamed, nothing copied
    QCOMPARE(QDir(m_captures).entryList(QDir::Files), QStringList{QFileInfo(m_file).fileName()});
    QCOMPARE(readFile(m_file), m_content);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("untouched"));
    QVERIFY(visibleProgressWindows().isEmpty());
}

void TestUploadManager::retryAfterFailureStartsAgainAfterASecond()
{
    m_service->enqueue(Reply::httpError(503));
    m_service->enqueue(Reply::fileName("again.png"));
    m_run->onDialog = [this](QDialog *dialog) {
        m_messages.append(message(dialog));
        m_run->answer = m_messages.size() == 1 ? 1 : 0;
    };

    upload(m_file, false);
    QVERIFY(waitForEnd());
    QCOMPARE(m_messages, QStringList{kFailureText});
    QCOMPARE(m_run->endCodes, QList<int>{0});
    const qint64 restarting = m_log->timeOf(QStringLiteral("Restarting"));
    const qint64 second = m_log->timeOf(QStringLiteral("Uploading file"), 1);
    QVERIFY(restarting >= 0);
    // coarse timers may fire up to 5 % early
    QVERIFY2(second - restarting >= 950, qPrintable(QString::number(second - restarting)));

    const QList<Request> requests = m_service->requests();
    QCOMPARE(requests.size(), 2);
    QVERIFY(requests.at(0).target != requests.at(1).target); // a new UUID
    QCOMPARE(requests.at(1).body(), m_content);
    QCOMPARE(readFile(m_captures + QStringLiteral("/again.png")), m_content);
    QCOMPARE(m_launcher->opened, QList<QUrl>{QUrl(base() + QStringLiteral("again.png"))});
}

void TestUploadManager::retryAfterServerErrorStartsAtOnce()
{
    m_service->enqueue(Reply::statusError("Busy"));
    m_service->enqueue(Reply::fileName("later.png"));
    m_run->answer = 1;
    m_run->onDialog = [this](QDialog *dialog) {
        m_messages.append(message(dialog));
        m_run->answer = 1;
    };

    upload(m_file, false);
    QVERIFY(waitForEnd());
    QCOMPARE(m_messages, QStringList{QStringLiteral("Busy")});
    QVERIFY(!m_log->contains(QStringLiteral("Restarting")));
    const qint64 first = m_log->timeOf(QStringLiteral("Uploading file"), 0);
    const qint64 second = m_log->timeOf(QStringLiteral("Uploading file"), 1);
    QVERIFY2(second - first < 900, qPrintable(QString::number(second - first)));
    QCOMPARE(m_service->requestCount(), 2);
    QCOMPARE(readFile(m_captures + QStringLiteral("/later.png")), m_content);
}

// ------------------------------------------------------------ unsafe replies

void TestUploadManager::unsafeFileNameTouchesNoFile_data()
{
    QTest::addColumn<QByteArray>("fileName");
    QTest::newRow("parent folder") << QByteArray("../outside/victim.png");
    QTest::newRow("absolute") << QByteArray("%1/outside/victim.png");
    QTest::newRow("backslashes") << QByteArray("..\\outside\\victim.png");
    QTest::newRow("parent itself") << QByteArray("..");
}

void TestUploadManager::unsafeFileNameTouchesNoFile()
{
    QFETCH(QByteArray, fileName);
    fileName.replace("%1", QFile::encodeName(m_captures));
    Settings::setSaveLocal(false);
    Settings::setCurrentClipboard(Settings::ClipboardLocalPath);
    // the capture sits in a folder of its own; another file lies beside it
    const QString capture = makeFile(QStringLiteral("caps/snap.png"), m_content);
    const QString victim = makeFile(QStringLiteral("outside/victim.png"), "precious");
    m_service->enqueue(Reply::fileName(fileName));

    upload(capture, false);
    QVERIFY(waitForEnd());
    QCOMPARE(m_messages, QStringList({kFailureText, QStringLiteral("Wrong response")}));
    QCOMPARE(readFile(capture), m_content);
    QCOMPARE(readFile(victim), QByteArray("precious"));
    QCOMPARE(QDir(m_captures + QStringLiteral("/caps")).entryList(QDir::Files), QStringList{QStringLiteral("snap.png")});
    QVERIFY(m_launcher->opened.isEmpty());
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("untouched"));
}

void TestUploadManager::saveLocalOffRemovesTheUploadedFileOnly()
{
    Settings::setSaveLocal(false);
    Settings::setCurrentClipboard(Settings::ClipboardLocalPath);

    // the usual case: renamed, then removed; the clipboard has the path
    m_service->enqueue(Reply::fileName("new.png"));
    upload(m_file, false);
    QVERIFY(waitForEnd());
    QCOMPARE(QDir(m_captures).entryList(QDir::Files), QStringList());
    QCOMPARE(QGuiApplication::clipboard()->text(), m_captures + QStringLiteral("/new.png"));

    // the server's name is taken by an older capture: that one stays
    m_run->endCodes.clear();
    const QString older = makeFile(QStringLiteral("abc.png"), "older capture");
    const QString fresh = makeFile(QStringLiteral("snaplark.2.png"), m_content);
    m_service->enqueue(Reply::fileName("abc.png"));
    upload(fresh, false);
    QVERIFY(waitForEnd());
    QCOMPARE(readFile(older), QByteArray("older capture"));
    QVERIFY(!QFile::exists(fresh));
}

void TestUploadManager::commandLineUploadNeverDeletesTheUsersFile()
{
    Settings::setSaveLocal(false);
    // the local path the reply names is the user's file itself
    const QString own = makeFile(QStringLiteral("mine/abc.png"), m_content);
    m_service->enqueue(Reply::fileName("abc.png"));

    upload(own, true);
    QVERIFY(waitForEnd());
    QCOMPARE(m_run->endCodes, QList<int>{0});
    QCOMPARE(m_service->requests().first().method, QByteArray("PUT"));
    QCOMPARE(readFile(own), m_content);
    QCOMPARE(m_launcher->opened, QList<QUrl>{QUrl(base() + QStringLiteral("abc.png"))});
}

void TestUploadManager::replyBodyCannotRunScriptsOrLoadAnything()
{
    const QByteArray probe = "http://127.0.0.1:" + QByteArray::number(m_service->port()) + "/probe";
    m_service->enqueue(Reply::html(
        "{\"status\":\"ERROR\",\"message\":\"Denied\"}"
        "<script>document.body.innerText = 'status:OK,pageUrl:http://evil.example/';</script>"
        "<script src=\"" + probe + "-script\"></script>"
        "<img src=\"" + probe + "-img\"><link rel=\"stylesheet\" href=\"" + probe + "-css\">"
        "<iframe src=\"" + probe + "-frame\"></iframe>"
        "<object data=\"" + probe + "-object\" type=\"application/x-shockwave-flash\"></object>"));

    upload(m_file, false);
    QVERIFY(waitForEnd());
    QCOMPARE(m_messages, QStringList{QStringLiteral("Denied")});
    QVERIFY(m_launcher->opened.isEmpty());
    QTest::qWait(500);
    QCOMPARE(m_service->requestCount(), 1);
}

void TestUploadManager::statusOkOpensOnlyWebPages()
{
    m_service->enqueue(Reply::statusOk("http:\\/\\/s.example\\/page7"));
    upload(m_file, false);
    QVERIFY(waitForEnd());
    QCOMPARE(m_launcher->opened, QList<QUrl>{QUrl(QStringLiteral("http://s.example/page7"))});
    QVERIFY(m_run->dialogs.isEmpty());
    QCOMPARE(readFile(m_file), m_content);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("untouched"));

    for (const QByteArray &address : {QByteArray("file:\\/\\/\\/etc\\/passwd"), QByteArray("javascript:alert(1)")}) {
        m_run->endCodes.clear();
        m_messages.clear();
        m_launcher->opened.clear();
        m_service->enqueue(Reply::statusOk(address));
        upload(m_file, false);
        QVERIFY(waitForEnd());
        QVERIFY(m_launcher->opened.isEmpty());
        QCOMPARE(m_messages, QStringList({kFailureText, QStringLiteral("Wrong response")}));
    }
}

QTEST_MAIN(TestUploadManager)
#include "tst_uploadmanager.moc"

// Logging in through the service's page: the login window on a real display
// against the test service, driven from inside its modal run, and the box
// that offers it.
#include "app/appcontrol.h"
#include "settings/settings.h"
#include "testservice.h"
#include "testsupport.h"
#include "upload/wndauthorization.h"
#include "upload/wndloginerrormsgbox.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <QWebFrame>
#include <QWebView>
#include <QtTest>
#include <functional>

namespace {

const QByteArray loginPath = "/netodb/plugin/auth/overlay";
const QByteArray donePath = "/netodb/plugin/auth/done";

QByteArray page(const QByteArray &title, const QByteArray &head, const QByteArray &body = {})
{
    return "<html><head><meta charset=\"utf-8\"><title>" + title + "</title>" + head + "</head><body>"
        + body + "</body></html>";
}

const QByteArray loginForm = page("Log in", {},
                                  "<form method=\"post\" action=\"" + donePath
                                      + "\"><input name=\"user\" value=\"ada\"></form>");

// Runs every modal dialog for real, and calls `step` for every page a login
// window finishes loading, from inside its modal run.  Closes the window
// after a timeout so no test hangs.
class LoginDriver : public QObject
{
public:
    using Step = std::function<void(WndAuthorization *window, QWebView *view, bool ok)>;

    explicit LoginDriver(Step step)
        : m_step(std::move(step))
    {
        AppControl::setModalRunner([this](QDialog *dialog) {
            if (auto *window = qobject_cast<WndAuthorization *>(dialog))
                watch(window);
            return dialog->exec();
        });
        m_watchdog.setSingleShot(true);
        connect(&m_watchdog, &QTimer::timeout, this, [this] {
            timedOut = true;
            if (m_window)
                m_window->close();
        });
        m_watchdog.start(20000);
    }
    ~LoginDriver() override { AppControl::setModalRunner({}); }

    int pagesLoaded = 0;
    bool timedOut = false;

private:
    void watch(WndAuthorization *window)
    {
        // The window has started loading its first page, which cannot have
        // finished before its modal run begins.
        m_window = window;
        auto *view = window->findChild<QWebView *>();
        connect(view, &QWebView::loadFinished, this, [this, window, view](bool ok) {
            ++pagesLoaded;
            m_step(window, view, ok);
        });
    }

    Step m_step;
    QTimer m_watchdog;
    QPointer<WndAuthorization> m_window;
};

void clearProxyEnvironment()
{
    for (const char *name : {"http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY", "HTTPS_PROXY",
                             "ALL_PROXY", "no_proxy"})
        qunsetenv(name);
}

QStringList requestTargets(const TestService &service)
{
    QStringList targets;
    for (const TestService::Request &request : service.requests())
        targets << QString::fromLatin1(request.method + ' ' + request.target);
    return targets;
}

} // namespace

class TestLogin : public QObject
{
    Q_OBJECT

    TestService m_service;
    QList<int> m_endCodes;

private slots:
    void initTestCase()
    {
        QVERIFY(m_service.isListening());
        qputenv("SNAPLARK_SERVICE_URL", m_service.serviceUrl());
        clearProxyEnvironment();
        AppControl::setEndRunHandler([this](int code) { m_endCodes << code; });
    }
    void cleanupTestCase() { AppControl::setEndRunHandler({}); }
    void init()
    {
        QSettings(QStringLiteral("Snaplark"), QStringLiteral("Snaplark")).clear();
        m_service.clearRequests();
        m_service.setPage(loginPath, TestService::Reply::html(loginForm));
        m_endCodes.clear();
    }
    void cleanup()
    {
        clearProxyEnvironment();
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    }

    void loggingInStoresTokenAndNameAndAcceptsTheBox();
    void finalPageWithoutUsernameStoresAnEmptyName();
    void closingWithoutLoggingInRejectsTheBox();
    void loginPageShowsAboveTheBox();
    void browserWindowPlacementAndFirstPage();
    void waitCursorOnlyWithTheSystemProxy();

private:
    void inspectBrowserWindow(QDialog *dialog);
    int loginRequests() const
    {
        int count = 0;
        for (const TestService::Request &request : m_service.requests())
            count += request.path() == loginPath;
        return count;
    }
};

void TestLogin::loggingInStoresTokenAndNameAndAcceptsTheBox()
{
    m_service.setPage(donePath,
                      TestService::Reply::html(page("Welcome",
                                                    "<meta name=\"Username\" content=\"Zoë Ada\">"
                                                    "<meta name=\"AuthId\" content=\"tok-123\">")));
    bool sawLoginPage = false;
    LoginDriver driver([&](WndAuthorization *window, QWebView *view, bool ok) {
        if (ok && view->url().path() == QLatin1String(loginPath)) {
            // A page without the token changes nothing.
            sawLoginPage = window->isVisible() && Settings::authId().isEmpty();
            QTimer::singleShot(0, view, [view] {
                view->page()->mainFrame()->evaluateJavaScript(QStringLiteral("document.forms[0].submit()"));
            });
        }
    });

    WndLoginErrorMsgBox box;
    box.setMessage(QStringLiteral("Please login to enable your history on site"));
    QTimer::singleShot(0, box.findChild<QPushButton *>(QStringLiteral("btnLogin")), &QPushButton::click);
    const int result = AppControl::runModal(&box);

    QVERIFY(!driver.timedOut);
    QVERIFY(sawLoginPage);
    QCOMPARE(result, 1);
    QCOMPARE(Settings::authId(), QStringLiteral("tok-123"));
    QCOMPARE(Settings::username(), QStringLiteral("Zoë Ada"));
    QVERIFY(box.findChildren<WndAuthorization *>().isEmpty());
    QVERIFY(m_endCodes.isEmpty());
    const QStringList targets = requestTargets(m_service);
    const int pageRequest = targets.indexOf(QStringLiteral("GET /netodb/plugin/auth/overlay?client=desktop"));
    QVERIFY2(pageRequest >= 0 && targets.indexOf(QStringLiteral("POST /netodb/plugin/auth/done")) > pageRequest,
             qPrintable(targets.join(", ")));
}

void TestLogin::finalPageWithoutUsernameStoresAnEmptyName()
{
    Settings::setUsername(QStringLiteral("Old Name"));
    m_service.setPage(loginPath, TestService::Reply::html(page("Done", "<meta name=\"AuthId\" content=\"only-token\">")));
    LoginDriver driver([](WndAuthorization *, QWebView *, bool) {});

    WndAuthorization::login(nullptr);

    QVERIFY(!driver.timedOut);
    QCOMPARE(Settings::authId(), QStringLiteral("only-token"));
    QCOMPARE(Settings::username(), QString());
}

void TestLogin::closingWithoutLoggingInRejectsTheBox()
{
    LoginDriver driver([](WndAuthorization *window, QWebView *, bool) {
        QTimer::singleShot(0, window, &QWidget::close);
    });

    WndLoginErrorMsgBox box;
    QTimer::singleShot(0, box.findChild<QPushButton *>(QStringLiteral("btnLogin")), &QPushButton::click);
    const int result = AppControl::runModal(&box);

    QVERIFY(!driver.timedOut);
    QCOMPARE(driver.pagesLoaded, 1);
    QCOMPARE(result, 0);
    QVERIFY(Settings::authId().isEmpty());
    QCOMPARE(Settings::username(), QStringLiteral("Log in"));
    // Closing the browser window goes back to the box; the run goes on.
    QVERIFY(m_endCodes.isEmpty());
}

void TestLogin::loginPageShowsAboveTheBox()
{
    // The box stays on top of everything; the page it opens must not end up
    // beneath it.  The screen's middle lies inside both windows.
    const QColor pageColour(0, 200, 100);
    m_service.setPage(loginPath, TestService::Reply::html(page("Log in", {}, {}).replace(
                                     "<body>", "<body style=\"background: rgb(0, 200, 100)\">")));
    QColor seen;
    LoginDriver driver([&](WndAuthorization *window, QWebView *, bool) {
        QTimer::singleShot(0, window, [&, window] {
            const QPoint middle = QGuiApplication::primaryScreen()->geometry().center();
            QTRY_COMPARE_WITH_TIMEOUT(
                (seen = QGuiApplication::primaryScreen()->grabWindow(0, middle.x(), middle.y(), 1, 1)
                            .toImage().pixelColor(0, 0)), pageColour, 5000);
            window->close();
        });
    });

    WndLoginErrorMsgBox box;
    QTimer::singleShot(0, box.findChild<QPushButton *>(QStringLiteral("btnLogin")), &QPushButton::click);
    QCOMPARE(AppControl::runModal(&box), 0);
    QVERIFY(!driver.timedOut);
    QCOMPARE(seen, pageColour);
}

void TestLogin::inspectBrowserWindow(QDialog *dialog)
{
    // As login() leaves it before the modal run: centred on the 1280 x 800 screen.
    QCOMPARE(dialog->geometry(), QRect(140, 50, 1000, 700));
    QCOMPARE(dialog->minimumSize(), QSize(1000, 700));
    QCOMPARE(dialog->maximumSize(), QSize(1000, 700));
    QCOMPARE(dialog->windowType(), Qt::Window);
    QVERIFY(!dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint)); // no on-top parent

    auto *view = dialog->findChild<QWebView *>();
    auto *location = dialog->findChild<QLineEdit *>();
    QVERIFY(view && location);
    QSignalSpy loaded(view, &QWebView::loadFinished);
    dialog->show();
    if (loaded.isEmpty())
        QVERIFY(loaded.wait(10000));
    QCOMPARE(loaded.size(), 1);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Log in"));
    QCOMPARE(location->text(), m_service.baseUrl().toString() + "netodb/plugin/auth/overlay?client=desktop");
    QCOMPARE(location->cursorPosition(), 0);
    QWebFrame *frame = view->page()->mainFrame();
    QCOMPARE(frame->scrollBarPolicy(Qt::Vertical), Qt::ScrollBarAlwaysOff);
    QCOMPARE(frame->scrollBarPolicy(Qt::Horizontal), Qt::ScrollBarAlwaysOff);
    QCOMPARE(loginRequests(), 1);

    // Return in the location line loads its address again.
    QTest::keyClick(location, Qt::Key_Return);
    QVERIFY(loaded.wait(10000));
    QCOMPARE(loginRequests(), 2);
}

void TestLogin::browserWindowPlacementAndFirstPage()
{
    bool inspected = false;
    AppControl::setModalRunner([&](QDialog *dialog) {
        inspectBrowserWindow(dialog);
        inspected = true;
        dialog->close();
        return 0;
    });
    WndAuthorization::login(nullptr);
    AppControl::setModalRunner({});
    QVERIFY(inspected);
}

void TestLogin::waitCursorOnlyWithTheSystemProxy()
{
    // Without a system proxy the window leaves the cursor alone, including a
    // cursor some other part of the program has put up.
    QApplication::setOverrideCursor(Qt::CrossCursor);
    {
        LoginDriver driver([](WndAuthorization *window, QWebView *, bool) {
            QTimer::singleShot(0, window, &QWidget::close);
        });
        WndAuthorization::login(nullptr);
        QVERIFY(!driver.timedOut);
    }
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::CrossCursor);
    QApplication::restoreOverrideCursor();
    QVERIFY(!QApplication::overrideCursor());

    // With one, every load shows the wait cursor until it has finished, and
    // loads that overlap leave no cursor behind.
    qputenv("http_proxy", "http://127.0.0.1:9");
    qputenv("no_proxy", "127.0.0.1,localhost");
    QList<Qt::CursorShape> atStart;
    QList<bool> clearAtFinish;
    int round = 0;
    LoginDriver driver([&](WndAuthorization *window, QWebView *view, bool) {
        clearAtFinish << !QApplication::overrideCursor();
        if (++round == 1) {
            connect(view, &QWebView::loadStarted, window, [&] {
                atStart << (QApplication::overrideCursor() ? QApplication::overrideCursor()->shape()
                                                           : Qt::ArrowCursor);
            });
            QTimer::singleShot(0, view, [view] {
                view->reload();
                view->reload();
            });
        } else {
            QTimer::singleShot(0, window, &QWidget::close);
        }
    });
    WndAuthorization::login(nullptr);
    QVERIFY(!driver.timedOut);
    QVERIFY(!atStart.isEmpty());
    for (Qt::CursorShape shape : atStart)
        QCOMPARE(shape, Qt::WaitCursor);
    QVERIFY(!clearAtFinish.contains(false));
    QVERIFY(!QApplication::overrideCursor());
}

QTEST_MAIN(TestLogin)
#include "tst_login.moc"

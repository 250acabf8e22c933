// Logging in through the service's page: the login window on a real display
// against the test service, driven from inside its modal run, and the box
// that offers it.
#include "app/appcontrol.h"
#include "settings/settings.h"
#include "testservice.h"
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

TestService::Reply page(const QByteArray &title, const QByteArray &head, const QByteArray &body = {})
{
    return TestService::Reply::html("<html><head><meta charset=\"utf-8\"><title>" + title + "</title>" + head
                                    + "</head><body>" + body + "</body></html>");
}

void runScript(QWebView *view, const QString &script)
{
    QTimer::singleShot(0, view, [view, script] { view->page()->mainFrame()->evaluateJavaScript(script); });
}

void closeSoon(WndAuthorization *window)
{
    QTimer::singleShot(0, window, &QWidget::close);
}

// Runs every modal dialog for real, and calls `step` for every page a login
// window finishes loading, from inside its modal run.  Closes the window
// after a timeout so no test hangs.
class LoginDriver : public QObject
{
public:
    explicit LoginDriver(std::function<void(WndAuthorization *, QWebView *)> step)
    {
        AppControl::setModalRunner([this, step](QDialog *dialog) {
            if (auto *window = qobject_cast<WndAuthorization *>(dialog)) {
                // Its first page cannot have finished before the modal run.
                m_window = window;
                auto *view = window->findChild<QWebView *>();
                connect(view, &QWebView::loadFinished, this, [this, step, window, view] {
                    ++pagesLoaded;
                    step(window, view);
                });
            }
            return dialog->exec();
        });
        QTimer::singleShot(20000, this, [this] {
            timedOut = true;
            if (m_window)
                m_window->close();
        });
    }
    ~LoginDriver() override { AppControl::setModalRunner({}); }

    int pagesLoaded = 0;
    bool timedOut = false;

private:
    QPointer<WndAuthorization> m_window;
};

// Runs the login box and presses its Login button; returns the box's result
// and tells whether the login window went with its modal run.
int runLoginBox(bool *windowGone = nullptr)
{
    WndLoginErrorMsgBox box;
    QTimer::singleShot(0, box.findChild<QPushButton *>(QStringLiteral("btnLogin")), &QPushButton::click);
    const int result = AppControl::runModal(&box);
    if (windowGone)
        *windowGone = box.findChildren<WndAuthorization *>().isEmpty();
    return result;
}

void clearProxyEnvironment()
{
    for (const char *name : {"http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY", "no_proxy"})
        qunsetenv(name);
}

} // namespace

class TestLogin : public QObject
{
    Q_OBJECT

    TestService m_service;
    TestService m_otherHost;
    QList<int> m_endCodes;

private slots:
    void initTestCase()
    {
        QVERIFY(m_service.isListening() && m_otherHost.isListening());
        qputenv("SNAPLARK_SERVICE_URL", m_service.serviceUrl());
        clearProxyEnvironment();
        AppControl::setEndRunHandler([this](int code) { m_endCodes << code; });
    }
    void cleanupTestCase() { AppControl::setEndRunHandler({}); }
    void init()
    {
        QSettings(QStringLiteral("Snaplark"), QStringLiteral("Snaplark")).clear();
        m_endCodes.clear();
    }
    void cleanup()
    {
        clearProxyEnvironment();
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    }

    void loggingInStoresTokenAndNameAndAcceptsTheBox()
    {
        m_service.setPage(loginPath, page("Log in", {}, "<form method=\"post\" action=\"" + donePath + "\"></form>"));
        m_service.setPage(donePath, page("Welcome", "<meta name=\"Username\" content=\"Zoë Ada\">"
                                                    "<meta name=\"AuthId\" content=\"tok-123\">"));
        bool sawLoginPage = false;
        LoginDriver driver([&](WndAuthorization *window, QWebView *view) {
            if (view->url().path() == QLatin1String(loginPath)) {
                // a page without the token changes nothing
                sawLoginPage = window->isVisible() && Settings::authId().isEmpty();
                runScript(view, QStringLiteral("document.forms[0].submit()"));
            }
        });

        bool windowGone = false;
        QCOMPARE(runLoginBox(&windowGone), 1);
        QVERIFY(!driver.timedOut);
        QVERIFY(sawLoginPage);
        QVERIFY(windowGone);
        QCOMPARE(driver.pagesLoaded, 2);
        QCOMPARE(Settings::authId(), QStringLiteral("tok-123"));
        QCOMPARE(Settings::username(), QStringLiteral("Zoë Ada"));
        QVERIFY(m_endCodes.isEmpty());
    }

    void tokenFromALinkedPage_data()
    {
        QTest::addColumn<bool>("otherHost");
        // the service's page without a name stores an empty one
        QTest::newRow("service page without a name") << false;
        // a page elsewhere (here: the same address, another port) logs nobody in
        QTest::newRow("page on another host") << true;
    }
    void tokenFromALinkedPage()
    {
        QFETCH(bool, otherHost);
        Settings::setUsername(QStringLiteral("Old Name"));
        TestService &host = otherHost ? m_otherHost : m_service;
        host.setPage(donePath, page("Done", otherHost ? "<meta name=\"Username\" content=\"Mallory\">"
                                                        "<meta name=\"AuthId\" content=\"planted\">"
                                                      : "<meta name=\"AuthId\" content=\"only-token\">"));
        const QByteArray link = host.baseUrl().resolved(QUrl(QString::fromLatin1(donePath))).toEncoded();
        m_service.setPage(loginPath, page("Log in", {}, "<a href=\"" + link + "\">Go on</a>"));
        if (otherHost)
            QTest::ignoreMessage(QtDebugMsg, qPrintable("AuthId ignored from a page outside the service: "
                                                        + m_otherHost.baseUrl().adjusted(QUrl::RemovePath).toString()));
        bool stayedOpen = false;
        LoginDriver driver([&](WndAuthorization *window, QWebView *view) {
            if (view->url().path() == QLatin1String(loginPath)) {
                runScript(view, QStringLiteral("location.href = document.links[0].href"));
            } else if (otherHost) {
                stayedOpen = window->isVisible();
                closeSoon(window);
            }
        });

        WndAuthorization::login(nullptr);
        QVERIFY(!driver.timedOut);
        QCOMPARE(driver.pagesLoaded, 2);
        QCOMPARE(stayedOpen, otherHost);
        QCOMPARE(Settings::authId(), otherHost ? QString() : QStringLiteral("only-token"));
        QCOMPARE(Settings::username(), otherHost ? QStringLiteral("Old Name") : QString());
    }

    // The box stays on top of everything; the page it opens, 1000 x 700 in
    // the middle of the screen, must not end up beneath it.  Closing the page
    // without logging in rejects the box, and the run goes on.
    void closingWithoutLoggingInRejectsTheBox()
    {
        const QColor pageColour(0, 200, 100);
        m_service.setPage(loginPath, page("Log in", "<style>body { background: rgb(0, 200, 100) }</style>"));
        QRect geometry;
        QString location;
        QColor seen;
        LoginDriver driver([&](WndAuthorization *window, QWebView *) {
            geometry = window->geometry();
            location = window->findChild<QLineEdit *>()->text();
            QTimer::singleShot(0, window, [&, window] {
                const QPoint middle = QGuiApplication::primaryScreen()->geometry().center();
                QTRY_COMPARE_WITH_TIMEOUT((seen = QGuiApplication::primaryScreen()->grabWindow(0, middle.x(), middle.y(), 1, 1)
                                                      .toImage().pixelColor(0, 0)), pageColour, 5000);
                window->close();
            });
        });

        QCOMPARE(runLoginBox(), 0);
        QVERIFY(!driver.timedOut);
        QCOMPARE(driver.pagesLoaded, 1);
        QCOMPARE(seen, pageColour);
        QCOMPARE(geometry, QRect(140, 50, 1000, 700));
        QCOMPARE(location, m_service.baseUrl().toString() + "netodb/plugin/auth/overlay?client=desktop");
        QVERIFY(Settings::authId().isEmpty());
        QCOMPARE(Settings::username(), QStringLiteral("Log in"));
        QVERIFY(m_endCodes.isEmpty());
    }

    void waitCursorOnlyWithTheSystemProxy()
    {
        m_service.setPage(loginPath, page("Log in", {}));
        // Without a system proxy the window leaves the cursor alone, including
        // a cursor some other part of the program has put up.
        QApplication::setOverrideCursor(Qt::CrossCursor);
        {
            LoginDriver driver([](WndAuthorization *window, QWebView *) { closeSoon(window); });
            WndAuthorization::login(nullptr);
            QVERIFY(!driver.timedOut);
        }
        QCOMPARE(QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : Qt::ArrowCursor, Qt::CrossCursor);
        QApplication::restoreOverrideCursor();

        // With one, every load shows the wait cursor until it has finished,
        // and loads that overlap leave no cursor behind.
        qputenv("http_proxy", "http://127.0.0.1:9");
        qputenv("no_proxy", "127.0.0.1,localhost");
        QList<Qt::CursorShape> atStart;
        QList<bool> clearAtFinish;
        LoginDriver driver([&](WndAuthorization *window, QWebView *view) {
            clearAtFinish << !QApplication::overrideCursor();
            if (clearAtFinish.size() > 1)
                return closeSoon(window);
            connect(view, &QWebView::loadStarted, window, [&] {
                atStart << (QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : Qt::ArrowCursor);
            });
            QTimer::singleShot(0, view, [view] {
                view->reload();
                view->reload();
            });
        });
        WndAuthorization::login(nullptr);
        QVERIFY(!driver.timedOut);
        QVERIFY(!atStart.isEmpty());
        QCOMPARE(atStart.count(Qt::WaitCursor), atStart.size());
        QVERIFY(!clearAtFinish.contains(false));
        QVERIFY(!QApplication::overrideCursor());
    }
};

QTEST_MAIN(TestLogin)
#include "tst_login.moc"

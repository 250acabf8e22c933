// Logging in through the service's page: the login window on a real display against the test
// service, driven from inside its modal run, and the box that offers it.
#include "core/appcontrol.h"
#include "settings/settings.h"
#include "testservice.h"
#include "upload/wndauthorization.h"
#include "upload/wndloginerrormsgbox.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QWebFrame>
#include <QWebView>
#include <QtTest>

namespace {

const QByteArray loginPath = "/netodb/plugin/auth/overlay";
const QByteArray donePath = "/netodb/plugin/auth/done";

TestService::Reply page(const QByteArray &title, const QByteArray &head, const QByteArray &body = {})
{
    return TestService::Reply::html("<html><head><meta charset=\"utf-8\"><title>" + title + "</title>" + head
                                    + "</head><body>" + body + "</body></html>");
}

// Runs every modal dialog for real, and calls `step` for every page a login window finishes loading,
// from inside its modal run.  Closes the window after a timeout so no test hangs.
struct LoginDriver : QObject
{
    explicit LoginDriver(std::function<void(WndAuthorization *, QWebView *)> step)
    {
        AppControl::setModalRunner([this, step](QDialog *dialog) {
            if (auto *window = qobject_cast<WndAuthorization *>(dialog)) {
                // Its first page cannot have finished before the modal run.
                loginWindow = window;
                auto *view = window->findChild<QWebView *>();
                connect(view, &QWebView::loadFinished, this, [this, step, window, view] { ++pagesLoaded; step(window, view); });
            }
            return dialog->exec();
        });
        QTimer::singleShot(20000, this, [this] {
            timedOut = true;
            if (loginWindow)
                loginWindow->close();
        });
    }
    ~LoginDriver() override { AppControl::setModalRunner({}); }

    int pagesLoaded = 0;
    bool timedOut = false;
    QPointer<WndAuthorization> loginWindow;
};

} // namespace

class TestLogin : public QObject
{
    Q_OBJECT

    TestService m_service, m_otherHost;
    QList<int> m_endCodes;

private slots:
    void initTestCase()
    {
        QVERIFY(m_service.isListening() && m_otherHost.isListening());
        qputenv("SNAPLARK_SERVICE_URL", m_service.serviceUrl());
        AppControl::setEndRunHandler([this](int code) { m_endCodes << code; });
    }
    void cleanupTestCase() { AppControl::setEndRunHandler({}); }
    void init()
    {
        for (const char *name : {"http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY", "no_proxy"})
            qunsetenv(name);
        QSettings(QStringLiteral("Snaplark"), QStringLiteral("Snaplark")).clear();
        Settings::setUsername(QStringLiteral("Old Name"));
        m_endCodes.clear();
    }
    void cleanup()
    {
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    }

    // The box's Login opens the login page, 1000 x 700 in the middle of the screen and above the always-on-top
    // box, whose form leads to a final page.  Only the service's own final page logs in and accepts the box;
    // closing the window otherwise rejects it.  The run goes on, and without a proxy the cursor stays.
    void loginThroughTheBox_data()
    {
        QTest::addColumn<bool>("otherHost");
        QTest::addColumn<QByteArray>("meta"); // of the final page; empty: closed on the login page
        QTest::addColumn<QString>("authId");
        QTest::addColumn<QString>("username");
        const auto tag = [](const QByteArray &name, const QByteArray &content) {
            return "<meta name=\"" + name + "\" content=\"" + content + "\">";
        };
        QTest::newRow("token and name") << false << tag("Username", "Zoë Ada") + tag("AuthId", "tok-123") << "tok-123"
                                        << QString::fromUtf8("Zoë Ada");
        // the service's page without a name stores an empty one
        QTest::newRow("token only") << false << tag("AuthId", "only-token") << "only-token" << "";
        // a page elsewhere (here: the same address, another port) logs nobody in
        QTest::newRow("page on another host") << true << tag("Username", "Mallory") + tag("AuthId", "planted") << "" << "Old Name";
        QTest::newRow("closed on the login page") << false << QByteArray() << "" << "Old Name";
    }
    void loginThroughTheBox()
    {
        QFETCH(bool, otherHost);
        QFETCH(QByteArray, meta);
        QFETCH(QString, authId);
        QFETCH(QString, username);
        TestService &host = otherHost ? m_otherHost : m_service;
        host.setPage(donePath, page("Welcome", meta));
        const QByteArray action = host.baseUrl().resolved(QUrl(QString::fromLatin1(donePath))).toEncoded();
        m_service.setPage(loginPath, page("Log in", "<style>body { background: rgb(0, 200, 100) }</style>",
                                          "<form method=\"post\" action=\"" + action + "\"></form>"));
        if (otherHost)
            QTest::ignoreMessage(QtDebugMsg, qPrintable("AuthId ignored from a page outside the service: "
                                                        + m_otherHost.baseUrl().adjusted(QUrl::RemovePath).toString()));
        const QColor pageColour(0, 200, 100);
        QColor seen;
        QRect geometry;
        QString location;
        bool sawLoginPage = false, stayedOpen = false;
        LoginDriver driver([&](WndAuthorization *window, QWebView *view) {
            if (view->url().path() != QLatin1String(loginPath)) {
                stayedOpen = window->isVisible();
                return QTimer::singleShot(0, window, &QWidget::close);
            }
            // a page without the token changes nothing
            sawLoginPage = window->isVisible() && Settings::authId().isEmpty();
            geometry = window->geometry();
            location = window->findChild<QLineEdit *>()->text();
            QTimer::singleShot(0, window, [&, window, view] {
                const QPoint middle = QGuiApplication::primaryScreen()->geometry().center();
                QTRY_COMPARE_WITH_TIMEOUT((seen = QGuiApplication::primaryScreen()->grabWindow(0, middle.x(), middle.y(), 1, 1)
                                                      .toImage().pixelColor(0, 0)), pageColour, 5000);
                if (meta.isEmpty())
                    return (void)window->close();
                view->page()->mainFrame()->evaluateJavaScript(QStringLiteral("document.forms[0].submit()"));
            });
        });

        QApplication::setOverrideCursor(Qt::CrossCursor); // put up by some other part of the program
        WndLoginErrorMsgBox box;
        QTimer::singleShot(0, box.findChild<QPushButton *>(QStringLiteral("btnLogin")), &QPushButton::click);
        QCOMPARE(AppControl::runModal(&box), authId.isEmpty() ? 0 : 1);
        QVERIFY(!driver.timedOut && sawLoginPage);
        QVERIFY(box.findChildren<WndAuthorization *>().isEmpty()); // gone with its modal run
        QCOMPARE(driver.pagesLoaded, meta.isEmpty() ? 1 : 2);
        QCOMPARE(stayedOpen, otherHost);
        QCOMPARE(seen, pageColour);
        QCOMPARE(geometry, QRect(140, 50, 1000, 700));
        QCOMPARE(location, m_service.baseUrl().toString() + "netodb/plugin/auth/overlay?client=desktop");
        QCOMPARE(Settings::authId(), authId);
        QCOMPARE(Settings::username(), username);
        QVERIFY(m_endCodes.isEmpty());
        QCOMPARE(QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : Qt::ArrowCursor, Qt::CrossCursor);
    }

    // With a system proxy every load shows the wait cursor until it has finished, and loads that overlap
    // leave no cursor behind.
    void waitCursorWithTheSystemProxy()
    {
        m_service.setPage(loginPath, page("Log in", {}));
        qputenv("http_proxy", "http://127.0.0.1:9");
        qputenv("no_proxy", "127.0.0.1,localhost");
        QList<Qt::CursorShape> atStart;
        QList<bool> clearAtFinish;
        LoginDriver driver([&](WndAuthorization *window, QWebView *view) {
            clearAtFinish << !QApplication::overrideCursor();
            if (clearAtFinish.size() > 1)
                return QTimer::singleShot(0, window, &QWidget::close);
            connect(view, &QWebView::loadStarted, window, [&] {
                atStart << (QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : Qt::ArrowCursor);
            });
            QTimer::singleShot(0, view, [view] { view->reload(); view->reload(); });
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

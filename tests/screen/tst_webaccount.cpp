// The overlay's web account elements on a real display against the test
// service: the banner with its offline copy, the user label, the settings
// dialog opened from the overlay, and logging in and out from the dialog.
#include "capture/wndmain.h"
#include "core/screengeometry.h"
#include "settings/settings.h"
#include "settingsdialog/wndsettings.h"
#include "testservice.h"
#include "testsupport.h"
#include "upload/banner.h"
#include "upload/userlabel.h"
#include "upload/webstorage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTextDocument>
#include <QWebElement>
#include <QWebFrame>
#include <QWebView>
#include <QtTest>

#include <memory>

namespace {

const QByteArray bannerPath = "/app-banner.html";

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &contents)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

// An address where nothing listens: a service's port after it has closed.
QByteArray downServiceUrl()
{
    TestService gone;
    return gone.serviceUrl();
}

// What a label shows of its rich text.
QString shownText(const QLabel *label)
{
    QTextDocument document;
    document.setHtml(label->text());
    return document.toPlainText();
}

} // namespace

class TestWebAccount : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestService> m_service;
    std::unique_ptr<RunObserver> m_run;
    std::unique_ptr<RecordingLauncher> m_launcher;
    std::unique_ptr<WndMain> m_overlay;

    void useService(const QByteArray &url) { qputenv("SNAPLARK_SERVICE_URL", url); }

    // The overlay with its banner loaded (or given up); false when it never
    // finished.
    bool openOverlay(CaptureRoutes routes = {})
    {
        m_overlay = std::make_unique<WndMain>(std::move(routes));
        Banner *banner = m_overlay->findChild<Banner *>();
        if (!banner)
            return false;
        QSignalSpy loaded(banner, &Banner::loaded);
        m_overlay->show();
        return QTest::qWaitForWindowExposed(m_overlay.get()) && (!loaded.isEmpty() || loaded.wait(15000));
    }
    QWebView *bannerView() const { return m_overlay->findChild<QWebView *>(QStringLiteral("wvBanner")); }
    QLabel *greeting() const { return m_overlay->findChild<QLabel *>(QStringLiteral("lblUsername")); }

private slots:
    void initTestCase() { QGuiApplication::setQuitOnLastWindowClosed(false); }
    void init()
    {
        QSettings("Snaplark", "Snaplark").clear();
        QDir(WebStorage::cacheDir()).removeRecursively();
        QFile::remove(WebStorage::cookieFilePath());
        m_service = std::make_unique<TestService>();
        useService(m_service->serviceUrl());
        m_run = std::make_unique<RunObserver>();
        m_launcher = std::make_unique<RecordingLauncher>();
    }
    void cleanup()
    {
        m_overlay.reset();
        m_launcher.reset();
        m_run.reset();
        m_service.reset();
    }

    void liveBannerIsShownCopiedAndClicked_data()
    {
        QTest::addColumn<QByteArray>("target");
        QTest::newRow("same window") << QByteArray("_self");
        QTest::newRow("new window") << QByteArray("_blank");
    }
    // The live banner shows, leaves its copy and the account's cookies (for
    // the owner only), and a click on a link, for a new window too, opens
    // the browser and ends the run.
    void liveBannerIsShownCopiedAndClicked()
    {
        QFETCH(QByteArray, target);
        m_service->setPage(bannerPath,
                           TestService::Reply::html("<html><body style=\"margin:0\"><a id=\"offer\" href=\"http://offer.test/x\" "
                                                    "target=\"" + target + "\" style=\"display:block;width:252px;height:80px\">"
                                                    "Spring offer</a></body></html>")
                               .withHeader("Set-Cookie", "visitor=42; Expires=Wed, 01 Jan 2070 00:00:00 GMT; Path=/"));
        QVERIFY(openOverlay());
        QWebView *view = bannerView();
        QVERIFY(view && view->isVisible());
        QVERIFY(readAll(WebStorage::offlineBannerPath()).contains("Spring offer"));
        QVERIFY(readAll(WebStorage::cookieFilePath()).contains("visitor"));
        const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
            | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
        QCOMPARE(QFileInfo(WebStorage::cookieFilePath()).permissions() & others, QFileDevice::Permissions());

        const QRect link = view->page()->mainFrame()->findFirstElement(QStringLiteral("#offer")).geometry();
        QTest::mouseClick(view, Qt::LeftButton, {}, link.center());
        QTRY_COMPARE(m_launcher->opened, QList<QUrl>{QUrl(QStringLiteral("http://offer.test/x"))});
        QCOMPARE(m_run->endCodes, QList<int>{0});
    }

    void offlineCopyOrNothing_data()
    {
        QTest::addColumn<bool>("serviceUp"); // up, it answers the banner with an error
        QTest::newRow("service down") << false;
        QTest::newRow("service error") << true;
    }
    // Without the banner the last copy stands in, and it cannot read the
    // user's other files; with no copy either the banner stays hidden.
    void offlineCopyOrNothing()
    {
        QFETCH(bool, serviceUp);
        const QString secret = testScratchDir("secret") + QStringLiteral("/secret.txt");
        writeFile(secret, "password");
        writeFile(WebStorage::offlineBannerPath(),
                  "<html><body>Offline offer<script>var r = new XMLHttpRequest();"
                  "try { r.open('GET', '" + QUrl::fromLocalFile(secret).toEncoded() + "', false); r.send();"
                  " document.title = 'read:' + r.responseText; } catch (e) { document.title = 'refused'; }"
                  "</script></body></html>");
        const QByteArray copy = readAll(WebStorage::offlineBannerPath());
        if (serviceUp)
            m_service->setPage(bannerPath, TestService::Reply::httpError(500));
        else
            useService(downServiceUrl());
        QVERIFY(openOverlay());
        QTRY_VERIFY(bannerView()->isVisible());
        QVERIFY(bannerView()->page()->mainFrame()->toPlainText().contains(QStringLiteral("Offline offer")));
        QVERIFY(!bannerView()->title().contains(QStringLiteral("password")));
        QCOMPARE(readAll(WebStorage::offlineBannerPath()), copy); // the copy is not rewritten from itself

        QFile::remove(WebStorage::offlineBannerPath());
        QVERIFY(openOverlay());
        QTest::qWait(300);
        QVERIFY(!bannerView()->isVisible());
    }

    // A redirected banner is shown, but what it led to is no banner to keep.
    void redirectIsShownNotCopied()
    {
        TestService::Reply moved;
        moved.status = 302;
        moved.reason = "Found";
        moved.headers.append({"Location", m_service->baseUrl().resolved(QUrl("other.html")).toEncoded()});
        m_service->setPage(bannerPath, moved);
        m_service->setPage("/other.html", TestService::Reply::html("<html><body>Elsewhere</body></html>"));
        QVERIFY(openOverlay());
        QTRY_VERIFY(bannerView()->isVisible());
        QVERIFY(!QFileInfo::exists(WebStorage::offlineBannerPath()));
    }

    void userLabel_data()
    {
        QTest::addColumn<QString>("authId");
        QTest::addColumn<QString>("username");
        QTest::addColumn<QString>("shown");
        QTest::newRow("logged in") << "token" << "Ann" << "Hi, Ann";
        QTest::newRow("logged out, name kept") << "" << "Ann" << "Ann";
        QTest::newRow("never logged in") << "" << QString() << "Log in";
        QTest::newRow("markup in the name") << "token" << "</a><a href=\"http://evil.test\"><img src=x>"
                                            << "Hi, </a><a href=\"http://evil.test\"><img src=x>";
    }
    // The greeting shows the name as text, whatever the service sent.
    void userLabel()
    {
        QFETCH(QString, authId);
        QFETCH(QString, username);
        QFETCH(QString, shown);
        Settings::setAuthId(authId);
        if (!username.isNull())
            Settings::setUsername(username);
        QVERIFY(openOverlay());
        QCOMPARE(shownText(greeting()), shown);
        QCOMPARE(greeting()->text(), UserLabel::text(authId, Settings::username()));
    }

    // The settings button and the label's link open the dialog on their tabs
    // with the overlay out of the way; afterwards the overlay covers the
    // desktop again and greets whoever logged in meanwhile.
    void overlayOpensTheSettings()
    {
        QList<int> tabs;
        QList<QRect> overlayDuring;
        CaptureRoutes routes;
        routes.settings = [&](QWidget *overlay, int tab) {
            tabs << tab;
            overlayDuring << overlay->geometry();
            Settings::setAuthId(QStringLiteral("t"));
            Settings::setUsername(QStringLiteral("Bo"));
        };
        QVERIFY(openOverlay(routes));
        QTest::mouseClick(m_overlay->findChild<QPushButton *>(QStringLiteral("btnSettings")), Qt::LeftButton);
        QCOMPARE(shownText(greeting()), QStringLiteral("Hi, Bo"));
        QMetaObject::invokeMethod(greeting(), "linkActivated", Q_ARG(QString, "1"));
        QCOMPARE(tabs, QList<int>({0, 1}));
        for (const QRect &rect : overlayDuring)
            QCOMPARE(rect.size(), QSize(0, 0));
        QCOMPARE(m_overlay->geometry(), ScreenGeometry::virtualDesktopRect());
        QVERIFY(m_run->endCodes.isEmpty());
    }

    // Logging in from the profile tab through the service's page, then out.
    void loginAndLogoutFromTheProfileTab()
    {
        m_service->setPage("/netodb/plugin/auth/overlay",
                           TestService::Reply::html("<html><head><meta name=\"AuthId\" content=\"tok-1\">"
                                                    "<meta name=\"Username\" content=\"Cy\"></head><body>ok</body></html>"));
        m_run.reset(); // the login window runs modally for real
        WndSettings dialog;
        dialog.setCurrentTab(WndSettings::ProfileTab);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.findChild<QTabWidget *>()->currentIndex(), 1);
        auto *button = dialog.findChild<QPushButton *>(QStringLiteral("btnLogIn"));
        auto *state = dialog.findChild<QLabel *>(QStringLiteral("lblLogin"));
        // a login window left open would hang the test: close it after a while
        QTimer::singleShot(20000, [] {
            for (QWidget *window : QApplication::topLevelWidgets())
                if (window->inherits("WndAuthorization"))
                    window->close();
        });
        QTest::mouseClick(button, Qt::LeftButton); // returns once the login window has closed
        QCOMPARE(Settings::authId(), QStringLiteral("tok-1"));
        QCOMPARE(state->text(), QStringLiteral("You are logged in as Cy"));
        QVERIFY(button->isChecked());
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(Settings::authId(), QString());
        QCOMPARE(Settings::username(), QStringLiteral("Log in"));
        QCOMPARE(state->text(), QStringLiteral("Not logged in. Please log in to upload files."));
    }
};

QTEST_MAIN(TestWebAccount)
#include "tst_webaccount.moc"

#pragma once

#include <QDialog>

class QLineEdit;
class QVBoxLayout;
class QWebView;

// The service's login page in a plain browser window.  A page of the service
// whose meta data carry "AuthId" logs the user in: the token and the display
// name go to the settings store and the window closes.
class WndAuthorization : public QDialog
{
    Q_OBJECT
public:
    explicit WndAuthorization(QWidget *parent = nullptr);
    ~WndAuthorization() override;

    // Runs a login window modally, 1000 x 700 in the middle of the primary
    // screen, and returns when it has closed.
    static void login(QWidget *parent);

signals:
    void authFinished();

protected:
    void hideEvent(QHideEvent *event) override;

private slots:
    void onLoadFinished(bool ok);
    void onLoadStarted();
    void changeLocation();
    void adjustTitle();

private:
    void restoreCursor();

    QWebView *m_view = nullptr;
    QVBoxLayout *m_layout = nullptr;
    QLineEdit *m_location = nullptr;
    // Whether this window has put up the wait cursor, so it takes down its
    // own and never another window's.
    bool m_waitCursor = false;
};

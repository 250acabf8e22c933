#pragma once

#include "ui/basedialog.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QTabWidget;

// The settings dialog: the default and alternative actions with their
// clipboard forms, the local copy of uploads, the tray program with its
// hotkey, the floating button and the web account.  Every show reloads the
// store; OK writes it back.  Closing it only closes it: the run goes on.
class WndSettings : public BaseDialog
{
    Q_OBJECT
public:
    enum Tab { ProgramTab = 0, ProfileTab = 1 };

    explicit WndSettings(QWidget *parent = nullptr);

    // The tab the dialog shows; openers pick it before running the dialog.
    void setCurrentTab(int tab);

signals:
    // OK's floating-button choice, for a companion program that shows the
    // button itself.
    void setFLBVisible(bool visible);

public slots:
    void onCancelClick();
    void onOkClick();
    void onLinkActivated(const QString &url);
    void onActionComboChanged(int index);
    void onAlternativeActionComboChanged(int index);
    void onSaveLocalClick(bool state);
    void onLinkMySnaplarksActivated(const QString &url);
    void onLoginClick();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildForm();
    QWidget *buildProgramTab();
    QWidget *buildProfileTab();
    void load();
    void save();
    void refreshLoginState();
    // Refills a clipboard combo with the forms the action offers, keeping
    // the selected form where it is still offered.
    void fillClipboard(QComboBox *combo, int action);
    // After a link: the main program's run ends there, a companion's dialog
    // just closes.
    void finishAfterLink();

    QTabWidget *m_tabs = nullptr;
    QPushButton *m_btnOk = nullptr;
    QPushButton *m_btnClose = nullptr;
    QComboBox *m_cbAction = nullptr;
    QComboBox *m_cbClipboard = nullptr;
    QComboBox *m_cbAltAction = nullptr;
    QComboBox *m_cbAltClipboard = nullptr;
    QCheckBox *m_cbEnableTray = nullptr;
    QCheckBox *m_cbEnableFLB = nullptr;
    QFrame *m_frmHotkey = nullptr;
    QCheckBox *m_cbTrayCtrl = nullptr;
    QCheckBox *m_cbTrayAlt = nullptr;
    QCheckBox *m_cbTrayShift = nullptr;
    QCheckBox *m_cbTrayWin = nullptr;
    QComboBox *m_cmbTrayHotkey = nullptr;
    QCheckBox *m_cbSaveLocal = nullptr;
    QLabel *m_lbLocalCapturedFolder = nullptr;
    QLabel *m_lbMySnaplarks = nullptr;
    QLabel *m_lblLogin = nullptr;
    QPushButton *m_btnLogIn = nullptr;
    QLabel *m_lblVersion = nullptr;
};

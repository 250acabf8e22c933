#include "settingsdialog/wndsettings.h"

#include "core/appcontrol.h"
#include "core/serviceconfig.h"
#include "platform/processlauncher.h"
#include "settings/capturefolder.h"
#include "settings/settings.h"
#include "settingsdialog/settingslogic.h"
#include "settingsdialog/traysetting.h"
#include "upload/wndauthorization.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QUrl>

namespace {

const char kBackground[] = ":/resources/frmSettings.png";

QGroupBox *groupBox(QWidget *parent, const char *name, const QString &title, const QRect &geometry)
{
    auto *group = new QGroupBox(title, parent);
    group->setObjectName(QLatin1String(name));
    group->setGeometry(geometry);
    group->setStyleSheet(QStringLiteral("background: none;"));
    return group;
}

QLabel *label(QWidget *parent, const char *name, const QString &text, const QRect &geometry)
{
    auto *lbl = new QLabel(text, parent);
    lbl->setObjectName(QLatin1String(name));
    lbl->setGeometry(geometry);
    lbl->setStyleSheet(QStringLiteral("background: none;"));
    return lbl;
}

QLabel *link(QWidget *parent, const char *name, const QString &text, const QRect &geometry)
{
    // The target is not read: each link has a slot of its own.
    QLabel *lbl = label(parent, name, QStringLiteral("<a href=\"1\">%1</a>").arg(text.toHtmlEscaped()), geometry);
    lbl->setTextFormat(Qt::RichText);
    lbl->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    return lbl;
}

QComboBox *combo(QWidget *parent, const char *name, const QRect &geometry)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(geometry);
    return box;
}

QCheckBox *checkBox(QWidget *parent, const char *name, const QString &text, const QRect &geometry)
{
    auto *box = new QCheckBox(text, parent);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(geometry);
    return box;
}

// The value of a combo's current item; `stored` while it has none, so a
// value the combo cannot show is never replaced by a guess.
int comboValue(const QComboBox *box, int stored)
{
    return box->currentIndex() < 0 ? stored : box->currentData().toInt();
}

void fillActions(QComboBox *box)
{
    box->clear();
    for (const auto &choice : SettingsLogic::actionChoices())
        box->addItem(choice.first, choice.second);
}

} // namespace

WndSettings::WndSettings(QWidget *parent)
    : BaseDialog(parent)
{
    buildForm();
    for (const SettingsLogic::HotkeyKey &key : SettingsLogic::hotkeyTable())
        m_cmbTrayHotkey->addItem(key.name, key.code);
    setupDialog(QStringLiteral("Snaplark Settings"), QLatin1String(kBackground));
    m_lblVersion->setText(m_lblVersion->text() + QStringLiteral(" ") + QStringLiteral(SNAPLARK_VERSION));
    m_tabs->setCurrentIndex(ProgramTab);
    // A window of its own, framed by the desktop, unlike the other dialogs.
    setWindowFlags(Qt::Window);
    setWindowTitle(QStringLiteral("SnaplarkSettings"));
}

void WndSettings::buildForm()
{
    setObjectName(QStringLiteral("WndSettings"));
    setStyleSheet(QStringLiteral("QDialog#WndSettings{background-image: url(:/resources/frmSettings.png);}"));
    setFixedSize(460, 560);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("settingsTabs"));
    m_tabs->setGeometry(10, 44, 440, 452);
    m_tabs->addTab(buildProgramTab(), QStringLiteral("Program settings"));
    m_tabs->addTab(buildProfileTab(), QStringLiteral("Profile settings"));

    m_btnOk = new QPushButton(this);
    m_btnOk->setObjectName(QStringLiteral("btnOk"));
    m_btnOk->setGeometry(340, 512, 110, 40);
    m_btnOk->setToolTip(QStringLiteral("Save settings"));
    m_btnOk->setFocusPolicy(Qt::NoFocus);
    m_btnOk->setStyleSheet(QStringLiteral("background-image: url(:/resources/btnSaveSettings.png);\nborder: none;"));

    m_btnClose = new QPushButton(this);
    m_btnClose->setObjectName(QStringLiteral("btnClose"));
    m_btnClose->setGeometry(430, 8, 20, 20);
    m_btnClose->setFocusPolicy(Qt::NoFocus);
    m_btnClose->setStyleSheet(QStringLiteral("background-image: url(:/resources/btnClose.png);\nborder: none;"));

    connect(m_btnOk, &QPushButton::clicked, this, &WndSettings::onOkClick);
    connect(m_btnClose, &QPushButton::clicked, this, &WndSettings::onCancelClick);
    connect(m_lbLocalCapturedFolder, &QLabel::linkActivated, this, &WndSettings::onLinkActivated);
    connect(m_cbAction, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &WndSettings::onActionComboChanged);
    connect(m_cbAltAction, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &WndSettings::onAlternativeActionComboChanged);
    connect(m_cbSaveLocal, &QCheckBox::clicked, this, &WndSettings::onSaveLocalClick);
    connect(m_lbMySnaplarks, &QLabel::linkActivated, this, &WndSettings::onLinkMySnaplarksActivated);
    connect(m_btnLogIn, &QPushButton::clicked, this, &WndSettings::onLoginClick);
    connect(m_cbEnableTray, &QCheckBox::clicked, m_frmHotkey, &QWidget::setEnabled);
    connect(m_cbEnableTray, &QCheckBox::clicked, m_cbEnableFLB, &QWidget::setEnabled);
}

QWidget *WndSettings::buildProgramTab()
{
    auto *tab = new QWidget;
    tab->setObjectName(QStringLiteral("programSettingsTab"));

    QGroupBox *groupDef = groupBox(tab, "groupDef", QStringLiteral("Default action"), QRect(8, 4, 418, 78));
    m_cbAction = combo(groupDef, "cbAction", QRect(10, 22, 398, 24));
    label(groupDef, "lbClipboard", QStringLiteral("Copy to clipboard:"), QRect(10, 50, 130, 24));
    m_cbClipboard = combo(groupDef, "cbClipboard", QRect(140, 50, 268, 24));

    QGroupBox *groupAlt = groupBox(tab, "groupAlt", QStringLiteral("Alternative action (hold Alt while capturing)"),
                                   QRect(8, 84, 418, 78));
    m_cbAltAction = combo(groupAlt, "cbAltAction", QRect(10, 22, 398, 24));
    label(groupAlt, "lbAltClipboard", QStringLiteral("Copy to clipboard:"), QRect(10, 50, 130, 24));
    m_cbAltClipboard = combo(groupAlt, "cbAltClipboard", QRect(140, 50, 268, 24));

    QLabel *hint = label(tab, "lbHint",
                         QStringLiteral("To make alternative action\nhold <Alt> button while selecting area"),
                         QRect(8, 164, 418, 32));
    hint->setTextFormat(Qt::PlainText);
    hint->setAlignment(Qt::AlignCenter);

    QGroupBox *groupTray = groupBox(tab, "groupTray", QStringLiteral("Tray"), QRect(8, 198, 418, 136));
    m_cbEnableTray = checkBox(groupTray, "cbEnableTray", QStringLiteral("Enable tray icon"), QRect(10, 22, 190, 22));
    m_cbEnableFLB = checkBox(groupTray, "cbEnableFLB", QStringLiteral("Enable Floating Button"),
                             QRect(210, 22, 198, 22));
    QLabel *trayHint = label(groupTray, "lbHint_2",
                             QStringLiteral("Tray icon allow capturing expanded combo boxes, \n"
                                            "popup menu and expanded main menu"),
                             QRect(10, 46, 398, 32));
    trayHint->setTextFormat(Qt::PlainText);
    trayHint->setAlignment(Qt::AlignCenter);
    m_frmHotkey = new QFrame(groupTray);
    m_frmHotkey->setObjectName(QStringLiteral("frmHotkey"));
    m_frmHotkey->setGeometry(10, 80, 398, 50);
    label(m_frmHotkey, "lbHotkey", QStringLiteral("Hotkey to start Snaplark:"), QRect(0, 0, 398, 20));
    m_cbTrayCtrl = checkBox(m_frmHotkey, "cbTrayCtrl", QStringLiteral("Ctrl"), QRect(0, 24, 56, 22));
    m_cbTrayAlt = checkBox(m_frmHotkey, "cbTrayAlt", QStringLiteral("Alt"), QRect(58, 24, 52, 22));
    m_cbTrayShift = checkBox(m_frmHotkey, "cbTrayShift", QStringLiteral("Shift"), QRect(112, 24, 62, 22));
    m_cbTrayWin = checkBox(m_frmHotkey, "cbTrayWin", QStringLiteral("Win"), QRect(176, 24, 56, 22));
    m_cmbTrayHotkey = combo(m_frmHotkey, "cmbTrayHotkey", QRect(238, 23, 160, 24));

    QGroupBox *groupAdvanced = groupBox(tab, "groupAdvanced", QStringLiteral("Advanced"), QRect(8, 336, 418, 80));
    m_cbSaveLocal = checkBox(groupAdvanced, "cbSaveLocal", QStringLiteral("Save local copy of uploaded files"),
                             QRect(10, 22, 398, 22));
    m_lbLocalCapturedFolder = link(groupAdvanced, "lbLocalCapturedFolder",
                                   QStringLiteral("Local captured files folder"), QRect(10, 50, 200, 22));
    m_lbMySnaplarks = link(groupAdvanced, "lbMySnaplarks", QStringLiteral("My Snaplarks"), QRect(220, 50, 188, 22));
    m_lbMySnaplarks->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return tab;
}

QWidget *WndSettings::buildProfileTab()
{
    auto *tab = new QWidget;
    tab->setObjectName(QStringLiteral("userSettingsTab"));
    m_lblLogin = label(tab, "lblLogin", QString(), QRect(20, 30, 396, 48));
    // The name comes from the service: shown as text, never as markup.
    m_lblLogin->setTextFormat(Qt::PlainText);
    m_lblLogin->setWordWrap(true);
    m_lblLogin->setAlignment(Qt::AlignCenter);

    m_btnLogIn = new QPushButton(tab);
    m_btnLogIn->setObjectName(QStringLiteral("btnLogIn"));
    m_btnLogIn->setGeometry(163, 92, 110, 40);
    m_btnLogIn->setCheckable(true);
    m_btnLogIn->setFocusPolicy(Qt::NoFocus);
    m_btnLogIn->setToolTip(SettingsLogic::loginToolTip());
    m_btnLogIn->setStyleSheet(QStringLiteral(
        "QPushButton#btnLogIn{background-image: url(:/resources/btnLogon.png); border: none;}\n"
        "QPushButton#btnLogIn:checked{background-image: url(:/resources/btnLogout.png); border: none;}"));

    m_lblVersion = label(tab, "lblVersion", QStringLiteral("Version:"), QRect(20, 390, 396, 20));
    m_lblVersion->setStyleSheet(QStringLiteral("background: none; color: rgb(149, 149, 149);"));
    return tab;
}

void WndSettings::setCurrentTab(int tab)
{
    m_tabs->setCurrentIndex(tab);
}

void WndSettings::showEvent(QShowEvent *event)
{
    load();
    BaseDialog::showEvent(event);
}

void WndSettings::closeEvent(QCloseEvent *event)
{
    // The plain dialog's close: unlike the other dialogs, the run goes on.
    QDialog::closeEvent(event);
}

void WndSettings::load()
{
    m_cbSaveLocal->setChecked(Settings::saveLocal());
    const bool tray = Settings::trayEnabled();
    m_cbEnableTray->setChecked(tray);
    m_cbEnableFLB->setEnabled(tray);
    m_cbEnableFLB->setChecked(Settings::flbEnabled());

    m_cmbTrayHotkey->setCurrentIndex(SettingsLogic::hotkeyIndex(Settings::hotkeyKey()));
    const SettingsLogic::HotkeyModifiers modifiers = SettingsLogic::modifiersFromAttr(Settings::hotkeyAttr());
    m_cbTrayWin->setChecked(modifiers.win);
    m_cbTrayShift->setChecked(modifiers.shift);
    m_cbTrayCtrl->setChecked(modifiers.ctrl);
    m_cbTrayAlt->setChecked(modifiers.alt);

    // Filling the action combos refills the clipboard combos through their
    // change signals.
    fillActions(m_cbAction);
    fillActions(m_cbAltAction);
    m_cbAction->setCurrentIndex(Settings::defAction());
    m_cbAltAction->setCurrentIndex(Settings::altAction());

    const int defClipboard = m_cbClipboard->findData(Settings::defClipboard());
    if (defClipboard >= 0)
        m_cbClipboard->setCurrentIndex(defClipboard);
    const int altClipboard = m_cbAltClipboard->findData(Settings::altClipboard());
    if (altClipboard >= 0)
        m_cbAltClipboard->setCurrentIndex(altClipboard);

    refreshLoginState();
}

void WndSettings::save()
{
    Settings::setDefAction(comboValue(m_cbAction, Settings::defAction()));
    Settings::setAltAction(comboValue(m_cbAltAction, Settings::altAction()));
    Settings::setDefClipboard(comboValue(m_cbClipboard, Settings::defClipboard()));
    Settings::setAltClipboard(comboValue(m_cbAltClipboard, Settings::altClipboard()));
    Settings::setSaveLocal(m_cbSaveLocal->isChecked());
    Settings::setTrayEnabled(m_cbEnableTray->isChecked());
    Settings::setFlbEnabled(m_cbEnableFLB->isChecked());
    Settings::setHotkeyKey(SettingsLogic::hotkeyCodeToStore(m_cmbTrayHotkey->currentIndex(), Settings::hotkeyKey()));
    SettingsLogic::HotkeyModifiers modifiers;
    modifiers.alt = m_cbTrayAlt->isChecked();
    modifiers.ctrl = m_cbTrayCtrl->isChecked();
    modifiers.shift = m_cbTrayShift->isChecked();
    modifiers.win = m_cbTrayWin->isChecked();
    Settings::setHotkeyAttr(SettingsLogic::attrFromModifiers(modifiers));
}

void WndSettings::refreshLoginState()
{
    const QString authId = Settings::authId();
    m_lblLogin->setText(SettingsLogic::loginStateText(authId, Settings::username()));
    m_btnLogIn->setChecked(!authId.isEmpty());
}

void WndSettings::fillClipboard(QComboBox *combo, int action)
{
    const QVariant remembered = combo->currentIndex() >= 0 ? combo->currentData() : QVariant();
    combo->clear();
    for (int clipboard : SettingsLogic::clipboardChoices(action, Settings::allowDirectLink(),
                                                         m_cbSaveLocal->isChecked()))
        combo->addItem(Settings::clipboardLabel(clipboard), clipboard);
    if (remembered.isValid()) {
        const int index = combo->findData(remembered);
        if (index >= 0)
            combo->setCurrentIndex(index);
    }
}

void WndSettings::onActionComboChanged(int index)
{
    if (index >= 0)
        fillClipboard(m_cbClipboard, m_cbAction->itemData(index).toInt());
}

void WndSettings::onAlternativeActionComboChanged(int index)
{
    if (index >= 0)
        fillClipboard(m_cbAltClipboard, m_cbAltAction->itemData(index).toInt());
}

void WndSettings::onSaveLocalClick(bool)
{
    if (m_cbAction->currentIndex() >= 0)
        fillClipboard(m_cbClipboard, m_cbAction->currentData().toInt());
    if (m_cbAltAction->currentIndex() >= 0)
        fillClipboard(m_cbAltClipboard, m_cbAltAction->currentData().toInt());
}

void WndSettings::onCancelClick()
{
    close();
}

void WndSettings::onOkClick()
{
    save();
    emit setFLBVisible(m_cbEnableFLB->isChecked());
    if (SettingsLogic::isMainProgram())
        TraySetting::apply(m_cbEnableTray->isChecked());
    else if (!m_cbEnableTray->isChecked())
        AppControl::endRun(0); // the tray program itself was switched off
    close();
}

void WndSettings::finishAfterLink()
{
    if (SettingsLogic::isMainProgram())
        AppControl::endRun(0);
    else
        close();
}

void WndSettings::onLinkActivated(const QString &)
{
    // A proper file address: the folder's name holds a space and may hold '%' or '#'.
    ProcessLauncher::instance().openUrl(QUrl::fromLocalFile(QDir::fromNativeSeparators(CaptureFolder::path())));
    save();
    finishAfterLink();
}

void WndSettings::onLinkMySnaplarksActivated(const QString &)
{
    save();
    const QString campaign = SettingsLogic::isMainProgram() ? QStringLiteral("snaplark") : QStringLiteral("tray");
    ProcessLauncher::instance().openUrl(ServiceConfig::url(
        QStringLiteral("/my-snaplarks?utm_source=application&utm_medium=%1&utm_campaign=%2&utm_content=%3")
            .arg(QStringLiteral("preferences"), campaign, QStringLiteral(SNAPLARK_VERSION))));
    finishAfterLink();
}

void WndSettings::onLoginClick()
{
    if (m_btnLogIn->isChecked()) {
        WndAuthorization::login(this);
    } else {
        Settings::setAuthId(QString());
        Settings::setUsername(QStringLiteral("Log in"));
    }
    refreshLoginState();
}

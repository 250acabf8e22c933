#pragma once

#include "core/appcontrol.h"
#include "platform/processlauncher.h"

#include <QDialog>
#include <QPoint>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

// Records what the program launches instead of launching it.
class RecordingLauncher : public ProcessLauncher
{
public:
    RecordingLauncher() { ProcessLauncher::setInstance(this); }
    ~RecordingLauncher() override { ProcessLauncher::setInstance(nullptr); }

    bool startDetached(const QString &program, const QStringList &arguments) override
    {
        started.append(qMakePair(program, arguments));
        return true;
    }
    bool openUrl(const QUrl &url) override
    {
        opened.append(url);
        return true;
    }

    QList<QPair<QString, QStringList>> started;
    QList<QUrl> opened;
};

// Observes "end the run" and answers modal dialogs while it lives.
class RunObserver
{
public:
    explicit RunObserver(int modalAnswer = 0)
        : answer(modalAnswer)
    {
        AppControl::setEndRunHandler([this](int code) { endCodes.append(code); });
        AppControl::setModalRunner([this](QDialog *dialog) {
            dialogs.append(dialog->windowTitle());
            if (onDialog)
                onDialog(dialog);
            return answer;
        });
    }
    ~RunObserver()
    {
        AppControl::setEndRunHandler({});
        AppControl::setModalRunner({});
    }

    int answer;
    std::function<void(QDialog *)> onDialog;
    QList<int> endCodes;
    QStringList dialogs;
};

// Throw-away folder for a test's own files (below the test's HOME).
QString testScratchDir(const QString &name);

// The entry that starts the tray program with the session, in the test's HOME.
QString autostartEntry();

// Mouse events sent straight to a widget: the test decides where the cursor
// is, whatever the real pointer does.
namespace Mouse {
void press(QWidget *widget, const QPoint &pos);
void move(QWidget *widget, const QPoint &pos, bool buttonHeld);
void release(QWidget *widget, const QPoint &pos);
// A hand's drag: hover, press, moves in steps, release.
void drag(QWidget *widget, const QPoint &from, const QPoint &to, int steps = 8);
} // namespace Mouse

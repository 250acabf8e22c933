#pragma once

#include <functional>

class QDialog;

// The two places where the program hands control to the outside world: ending
// the run and running a dialog modally.  Tests replace them to observe the
// program without ending the test process or blocking on a dialog.
namespace AppControl {

using EndRunHandler = std::function<void(int code)>;
using ModalRunner = std::function<int(QDialog *dialog)>;

// Leaves the application's event loop with the given exit code.
void endRun(int code);

// Runs the dialog modally and returns its result code.
int runModal(QDialog *dialog);

// An empty handler restores the default behaviour.
void setEndRunHandler(EndRunHandler handler);
void setModalRunner(ModalRunner runner);

} // namespace AppControl

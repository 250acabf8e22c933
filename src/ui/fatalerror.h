#pragma once

#include <QString>

// Reports a failure that ends the run: optionally shows the message in the
// error box and waits for it to close, always writes it to the debug log, and
// then asks the event loop to end with exit code 0.  Before the loop runs the
// request has no effect, so callers there return on their own.
void reportFatalError(const QString &message, bool show);

#pragma once

class QPixmap;

// The end of a screenshot taken without the editor: saves the picture as a
// PNG in the captures folder, carries out the current action pair (upload,
// open, show in the file manager; the chosen clipboard form) and ends the run
// unless an upload goes on.  A picture that cannot be saved is reported in the
// error box and ends the run.
void completeScreenshot(const QPixmap &pixmap);

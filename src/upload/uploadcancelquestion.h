#pragma once

class QWidget;

namespace UploadCancelQuestion {

// Asks "Do you really want to cancel uploading?" in a box over the window,
// in the middle of the primary screen; true when the user answers Yes.
bool ask(QWidget *window);

} // namespace UploadCancelQuestion

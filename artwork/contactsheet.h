#pragma once

#include "pictures.h"

// One overview picture of the whole set: every picture on a checkerboard
// with its name and size, grouped, followed by the dialogs assembled with
// their buttons where the forms place them.
QImage contactSheet(const QVector<Picture> &pictures);

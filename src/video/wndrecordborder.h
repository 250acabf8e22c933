#pragma once

#include <QDialog>

// The red frame that shows what is being recorded.  It lies outside the
// region, so it never shows up in the recording itself.
class wndrecordborder : public QDialog
{
    Q_OBJECT
public:
    wndrecordborder();

    // geometry: the frame's window, see VideoSelection::borderGeometry().
    void place(const QRect &geometry);
};

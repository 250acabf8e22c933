#pragma once

#include <QString>

class QPushButton;
class QRect;
class QWidget;

// The skinned boxes' buttons: flat, drawn by their picture alone, never
// focused and never a default button, so Enter cannot press one.
QPushButton *imageButton(QWidget *parent, const char *name, const QRect &geometry, const QString &image,
                         const QString &toolTip = QString());

// Gives a button the box inherited that look, at a new place.
void styleImageButton(QPushButton *button, const QRect &geometry, const QString &image,
                      const QString &toolTip = QString());

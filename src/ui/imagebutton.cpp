#include "ui/imagebutton.h"

#include <QPushButton>

QPushButton *imageButton(QWidget *parent, const char *name, const QRect &geometry, const QString &image,
                         const QString &toolTip)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    styleImageButton(button, geometry, image, toolTip);
    return button;
}

void styleImageButton(QPushButton *button, const QRect &geometry, const QString &image, const QString &toolTip)
{
    button->setGeometry(geometry);
    button->setFlat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoDefault(false);
    button->setIconSize(QSize(32, 32));
    button->setText(QString());
    button->setToolTip(toolTip);
    button->setStyleSheet(QStringLiteral("background-image: url(%1);\nborder: none;").arg(image));
}

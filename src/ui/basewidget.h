#pragma once

#include <QWidget>

// A plain widget that reports the skinned windows' fixed resolution, so
// point-sized fonts inside it match its dialog.
class BaseWidget : public QWidget
{
    Q_OBJECT
public:
    explicit BaseWidget(QWidget *parent);

protected:
    int metric(PaintDeviceMetric metric) const override;
};

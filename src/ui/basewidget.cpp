#include "ui/basewidget.h"

#include "ui/fixeddpi.h"

BaseWidget::BaseWidget(QWidget *parent)
    : QWidget(parent)
{
}

int BaseWidget::metric(PaintDeviceMetric metric) const
{
    return FixedDpi::isResolutionMetric(metric) ? FixedDpi::dotsPerInch : QWidget::metric(metric);
}

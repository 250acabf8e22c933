#pragma once

#include <QPaintDevice>

// Skinned windows report one fixed resolution so that fonts given in points
// come out at the same pixel size on every display, matching the artwork.
namespace FixedDpi {

constexpr int dotsPerInch = 100;

// True for the logical and physical dots-per-inch metrics, which report
// dotsPerInch; every other metric stays the widget's own.
constexpr bool isResolutionMetric(QPaintDevice::PaintDeviceMetric metric)
{
    return metric == QPaintDevice::PdmDpiX || metric == QPaintDevice::PdmDpiY
        || metric == QPaintDevice::PdmPhysicalDpiX || metric == QPaintDevice::PdmPhysicalDpiY;
}

} // namespace FixedDpi

#pragma once

// How the display benchmarks start: on an X11 display, with a pattern over the
// area they grab, so that the grab is not one colour.

#include "patternwindow.h"

#include <QGuiApplication>
#include <QRect>

#include <cstdio>
#include <memory>

// The pattern window shown over area, or nullptr after saying on stderr why not.
inline std::unique_ptr<PatternWindow> showPatternBackdrop(const char *program, const QRect &area)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        std::fprintf(stderr, "%s: needs an X11 display (platform is %s)\n", program,
                     qPrintable(QGuiApplication::platformName()));
        return nullptr;
    }
    auto window = std::make_unique<PatternWindow>(area);
    if (!window->showAndWait(20000)) {
        std::fprintf(stderr, "%s: the pattern window did not appear\n", program);
        return nullptr;
    }
    return window;
}

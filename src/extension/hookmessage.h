#pragma once

#include "snaplarkhookmessage.h"

#include <QByteArray>

#include <optional>

// A window message delivered by the extension library: a key or wheel turn
// from its hooks, or a message sent with SendSignal.
struct HookMessage
{
    static constexpr unsigned Keystroke = SNAPLARK_HOOK_KEYSTROKE_MESSAGE;
    static constexpr unsigned Mouse = SNAPLARK_HOOK_MOUSE_MESSAGE;
    static constexpr unsigned MouseWheel = SNAPLARK_HOOK_WHEEL_WPARAM;
    static constexpr unsigned WheelUp = SNAPLARK_HOOK_WHEEL_UP_LPARAM;
    static constexpr unsigned WheelDown = SNAPLARK_HOOK_WHEEL_DOWN_LPARAM;

    unsigned message = 0;
    unsigned wParam = 0;
    unsigned lParam = 0;
};

// The window message carried by a native event as passed to
// QWidget::nativeEvent; nothing for every other event.
std::optional<HookMessage> decodeHookMessage(const QByteArray &eventType, void *message);

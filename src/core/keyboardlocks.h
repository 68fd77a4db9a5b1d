#pragma once

#include <QString>

#include <optional>

namespace quarl {

// Caps Lock and Num Lock as the keyboard LEDs show them. Read from the kernel's LED
// class (world-readable, no display connection needed); nullopt when no keyboard
// reports that LED (a remote session, a virtual machine without one).
struct KeyboardLocks
{
    std::optional<bool> caps;
    std::optional<bool> num;
};

KeyboardLocks readKeyboardLocks(const QString &ledsFolder = QStringLiteral("/sys/class/leds"));

} // namespace quarl

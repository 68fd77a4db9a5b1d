#include "core/keyboardlocks.h"

#include <QDir>
#include <QFile>

namespace quarl {

namespace {
// On when any keyboard's LED of that kind is lit.
std::optional<bool> ledState(const QDir &leds, const QString &suffix)
{
    std::optional<bool> state;
    const QStringList names = leds.entryList({QStringLiteral("*::") + suffix}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    for (const QString &name : names) {
        QFile f(leds.filePath(name + QStringLiteral("/brightness")));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const bool on = f.readAll().trimmed().toInt() > 0;
        state = state.value_or(false) || on;
    }
    return state;
}
} // namespace

KeyboardLocks readKeyboardLocks(const QString &ledsFolder)
{
    const QDir leds(ledsFolder);
    KeyboardLocks locks;
    if (!leds.exists())
        return locks;
    locks.caps = ledState(leds, QStringLiteral("capslock"));
    locks.num = ledState(leds, QStringLiteral("numlock"));
    return locks;
}

} // namespace quarl

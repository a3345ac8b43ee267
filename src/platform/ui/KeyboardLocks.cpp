#include "platform/ui/KeyboardLocks.h"

#include <QDir>
#include <QFile>

namespace quillory::ui {

namespace {
// Any keyboard's LED of this kind that is lit counts.
bool ledLit(const QString& suffix) {
    const QDir leds(QStringLiteral("/sys/class/leds"));
    const QStringList entries =
        leds.entryList({QStringLiteral("*::") + suffix}, QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        QFile brightness(leds.filePath(entry + QStringLiteral("/brightness")));
        if (brightness.open(QIODevice::ReadOnly) && brightness.readAll().trimmed() != "0")
            return true;
    }
    return false;
}
} // namespace

KeyboardLocks KeyboardLocks::read() {
    return {ledLit(QStringLiteral("capslock")), ledLit(QStringLiteral("numlock")),
            ledLit(QStringLiteral("scrolllock"))};
}

} // namespace quillory::ui

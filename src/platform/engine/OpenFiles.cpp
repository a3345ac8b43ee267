#include "platform/engine/OpenFiles.h"

#include "platform/engine/Database.h"

#include <QFileInfo>
#include <QHash>
#include <QMutex>

namespace quillory::engine {

namespace openfiles {

namespace {

struct Registry {
    QMutex mutex;
    QHash<QString, int> holds;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

QString keyFor(const QString& path) {
    return QFileInfo(path).canonicalFilePath();
}

} // namespace

QString hold(const QString& path) {
    const QString key = keyFor(path);
    if (key.isEmpty())
        return key;
    Registry& r = registry();
    const QMutexLocker lock(&r.mutex);
    ++r.holds[key];
    return key;
}

void release(const QString& key) {
    if (key.isEmpty())
        return;
    Registry& r = registry();
    const QMutexLocker lock(&r.mutex);
    auto it = r.holds.find(key);
    if (it == r.holds.end())
        return;
    if (--it.value() <= 0)
        r.holds.erase(it);
}

bool isHeld(const QString& path) {
    const QString key = keyFor(path);
    if (key.isEmpty())
        return false;
    Registry& r = registry();
    const QMutexLocker lock(&r.mutex);
    return r.holds.contains(key);
}

} // namespace openfiles

bool isHeldOpen(const QString& path) {
    return openfiles::isHeld(path);
}

} // namespace quillory::engine

#pragma once

#include <functional>
#include <memory>
#include <QObject>
#include <QString>

class QLocalServer;

namespace quillory {

// One program at a time on a program folder: two would each keep a card of their own, and the
// last to save would win. The first start takes a lock on the folder that the system lets go
// of when the program ends, however it ends (no file is left to go stale), and listens for
// later starts on the same folder; a later start asks it to bring its window forward instead
// of opening the book a second time.
class HomeLock final : public QObject {
    Q_OBJECT
public:
    // Takes the lock on `folder`; nothing when another program holds it. Where the file system
    // has no such locks the program starts unguarded rather than not at all.
    static std::unique_ptr<HomeLock> take(const QString& folder);
    ~HomeLock() override;
    HomeLock(const HomeLock&) = delete;
    HomeLock& operator=(const HomeLock&) = delete;

    // What a later start's request runs: the window comes forward.
    void setComeForward(std::function<void()> action) { m_comeForward = std::move(action); }

    // From a later start: asks the program holding `folder` to bring its window forward. True
    // when it answered that it did, within a few seconds.
    static bool askToComeForward(const QString& folder);

private:
    HomeLock(int descriptor, const QString& serverName);
    void answer();

    int m_descriptor;
    QLocalServer* m_server = nullptr;
    std::function<void()> m_comeForward;
};

} // namespace quillory

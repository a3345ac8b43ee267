#pragma once

#include <optional>
#include <QString>
#include <QUrl>

namespace quillory::sync {

// The password of a sync account, for the windows and the command line alike. It lives in the
// desktop's secret store; where none runs (no session bus, no secret service) it is kept in this
// process's memory only, so the user is asked once per session. QUILLORY_SYNC_PASSWORD, when
// set, wins over both. It is never written to the settings file, the log or a message.
class PasswordStore {
public:
    // The service the secret store files the passwords under.
    static inline const QString Service = QStringLiteral("Quillory sync");

    // The name the secret store knows the account's password by.
    static QString keyOf(const QUrl& url, const QString& user);

    // The password the environment, this session or the secret store has; none when none does.
    static std::optional<QString> read(const QString& key);
    // Kept for this session, and in the secret store when one runs; false when only in memory.
    static bool write(const QString& key, const QString& password);
    // Forgotten by this session and by the secret store.
    static void remove(const QString& key);
    // Forgotten by this session only: the next read() asks the store again.
    static void forgetTyped(const QString& key);

    // Whether the last call found a secret store to talk to.
    static bool storeAvailable();
};

} // namespace quillory::sync

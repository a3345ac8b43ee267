#pragma once

#include "core/SettingsStore.h"
#include "platform/profile/PrivateProfile.h"
#include "sync/CardDav.h"

#include <QString>
#include <QUrl>

namespace quillory::sync {

// The saved sync account: section "Sync" of the settings file ("Corvanel.hig" in the program
// folder), beside the user's preferences, which a settings save keeps. The password is never
// stored here: it lives in the desktop's secret store or comes from QUILLORY_SYNC_PASSWORD.
struct SyncAccount {
    QUrl url; // the server's root or an address book's own URL; empty: no account
    QString user;
    QUrl addressBook; // the chosen address book; empty: the first one discovery finds

    static inline const QString Section = QStringLiteral("Sync");
    static inline const QString UrlKey = QStringLiteral("URL");
    static inline const QString UserKey = QStringLiteral("User");
    static inline const QString AddressBookKey = QStringLiteral("AddressBook");

    bool isSet() const { return url.isValid() && !url.isEmpty(); }

    static SyncAccount load(const QString& programFolder) {
        const PrivateProfile file =
            PrivateProfile::load(SettingsStore(programFolder).settingsPath());
        SyncAccount account;
        account.url = QUrl(file.value(Section, UrlKey));
        account.user = file.value(Section, UserKey);
        account.addressBook = QUrl(file.value(Section, AddressBookKey));
        return account;
    }

    // All three keys in one write; false, and the file as it was, when it cannot be written.
    bool save(const QString& programFolder) const {
        const QString path = SettingsStore(programFolder).settingsPath();
        PrivateProfile file = PrivateProfile::load(path);
        return file.isReadable() && file.setValue(Section, UrlKey, url.toString()) &&
               file.setValue(Section, UserKey, user) &&
               file.setValue(Section, AddressBookKey, addressBook.toString()) && file.save(path);
    }

    bool operator==(const SyncAccount&) const = default;
};

// When the account syncs by itself, and the server address the user agreed to reach by plain
// http; beside the account in the same section.
struct SyncOptions {
    bool atStart = false;
    bool beforeExit = false;
    // The http address the user confirmed; a new address is asked about again.
    QUrl plainHttpAgreed;

    static inline const QString AtStartKey = QStringLiteral("SyncAtStart");
    static inline const QString BeforeExitKey = QStringLiteral("SyncBeforeExit");
    static inline const QString PlainHttpKey = QStringLiteral("PlainHttpAgreed");

    bool plainHttpAllowed(const QUrl& url) const {
        return !plainHttpAgreed.isEmpty() && plainHttpAgreed == url;
    }

    static SyncOptions load(const QString& programFolder) {
        const PrivateProfile file =
            PrivateProfile::load(SettingsStore(programFolder).settingsPath());
        auto on = [&file](const QString& key) {
            return file.value(SyncAccount::Section, key) == QLatin1String("1");
        };
        return {on(AtStartKey), on(BeforeExitKey),
                QUrl(file.value(SyncAccount::Section, PlainHttpKey))};
    }

    bool save(const QString& programFolder) const {
        const QString path = SettingsStore(programFolder).settingsPath();
        PrivateProfile file = PrivateProfile::load(path);
        auto flag = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
        return file.isReadable() &&
               file.setValue(SyncAccount::Section, AtStartKey, flag(atStart)) &&
               file.setValue(SyncAccount::Section, BeforeExitKey, flag(beforeExit)) &&
               file.setValue(SyncAccount::Section, PlainHttpKey, plainHttpAgreed.toString()) &&
               file.save(path);
    }
};

// The account as the client takes it, with its password.
inline Account clientAccount(const SyncAccount& account, const SyncOptions& options,
                             const QString& password) {
    return {account.url, account.user, password, account.addressBook,
            options.plainHttpAllowed(account.url)};
}

} // namespace quillory::sync

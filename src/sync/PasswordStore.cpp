#include "sync/PasswordStore.h"

#include <QEventLoop>
#include <QHash>
#include <qt6keychain/keychain.h>

namespace quillory::sync {

namespace {

// Passwords of this session, for a desktop without a secret store and for what the user typed.
QHash<QString, QString>& sessionPasswords() {
    static QHash<QString, QString> passwords;
    return passwords;
}

// Cleared once the store failed for want of a backend: it is not asked again this session.
bool& storeRuns() {
    static bool runs = true;
    return runs;
}

// Runs `job` to its end on a local event loop and says whether it succeeded; a store that cannot
// be reached is remembered, so the session stops asking it.
bool runJob(QKeychain::Job& job) {
    job.setAutoDelete(false);
    job.setInsecureFallback(false); // never a plain file beside the settings
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    const QKeychain::Error error = job.error();
    if (error == QKeychain::NoBackendAvailable || error == QKeychain::AccessDenied ||
        error == QKeychain::OtherError)
        storeRuns() = false;
    return error == QKeychain::NoError;
}

} // namespace

QString PasswordStore::keyOf(const QUrl& url, const QString& user) {
    return user + u'@' + url.adjusted(QUrl::RemoveUserInfo | QUrl::StripTrailingSlash).toString();
}

std::optional<QString> PasswordStore::read(const QString& key) {
    const QString fromEnvironment = qEnvironmentVariable("QUILLORY_SYNC_PASSWORD");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    const auto kept = sessionPasswords().constFind(key);
    if (kept != sessionPasswords().cend())
        return *kept;
    if (!storeRuns())
        return std::nullopt;
    QKeychain::ReadPasswordJob job(PasswordStore::Service);
    job.setKey(key);
    if (!runJob(job))
        return std::nullopt;
    sessionPasswords().insert(key, job.textData());
    return job.textData();
}

bool PasswordStore::write(const QString& key, const QString& password) {
    sessionPasswords().insert(key, password);
    if (!storeRuns())
        return false;
    QKeychain::WritePasswordJob job(PasswordStore::Service);
    job.setKey(key);
    job.setTextData(password);
    return runJob(job);
}

void PasswordStore::remove(const QString& key) {
    sessionPasswords().remove(key);
    if (!storeRuns())
        return;
    QKeychain::DeletePasswordJob job(PasswordStore::Service);
    job.setKey(key);
    runJob(job);
}

void PasswordStore::forgetTyped(const QString& key) {
    sessionPasswords().remove(key);
}

bool PasswordStore::storeAvailable() {
    return storeRuns();
}

} // namespace quillory::sync

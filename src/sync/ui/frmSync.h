#pragma once

#include "sync/CardDav.h"
#include "sync/SyncAccount.h"

#include <memory>
#include <optional>
#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace quillory {

class AppContext;

namespace sync {

class SyncTask;

// Whether `url` may be used: https, or http to this machine, or http elsewhere once the user
// agreed to it (asked here when `options` do not hold the agreement to `url`; a Yes goes into
// them, for the caller to save).
bool plainHttpAgreed(const QUrl& url, SyncOptions& options, QWidget* parent);

} // namespace sync

// "Sync with server": the server, the user and the password, "Test connection" listing the
// address books found there, the one chosen, and whether to sync at start and before exit.
class frmSync final : public QDialog {
    Q_OBJECT
public:
    explicit frmSync(AppContext& app, QWidget* parent = nullptr);
    ~frmSync() override;

    void Form_Load();
    void cmdTest_Click();
    void cmdCancelTest_Click();
    void cmdOK_Click();

    QLineEdit* txtUrl;
    QLineEdit* txtUser;
    QLineEdit* txtPassword;
    QPushButton* cmdTest;
    QPushButton* cmdCancelTest;
    QListWidget* lstBooks;
    QLabel* lblTest;
    QCheckBox* chkAtStart;
    QCheckBox* chkBeforeExit;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

Q_SIGNALS:
    void testEnded();

protected:
    void reject() override;

private:
    // The URL typed, or none (and the user told why) when it cannot be used.
    std::optional<QUrl> usableUrl();
    void testFinished(bool ok, const QString& failure);
    void setTesting(bool testing);

    AppContext& m_app;
    sync::SyncOptions m_options;
    sync::SyncTask* m_task;
    QVector<sync::AddressBookInfo> m_found; // written by the test's thread until it ends
    std::unique_ptr<sync::CardDavClient> m_client;
    QUrl m_chosen; // the saved address book, chosen again once a test lists it
};

// Puts "syncsetup" (the dialog) and "syncnow" into the command table, and the syncs at start
// and before exit that the account asks for.
void registerSyncCommands(AppContext& app);

} // namespace quillory

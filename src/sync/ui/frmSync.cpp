#include "sync/ui/frmSync.h"

#include "core/AppContext.h"
#include "platform/ui/DialogButtons.h"
#include "platform/ui/MessageBox.h"
#include "sync/ui/Password.h"
#include "sync/ui/SyncTask.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillory {

namespace sync {

namespace {

bool isLoopback(const QString& host) {
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

} // namespace

bool plainHttpAgreed(const QUrl& url, SyncOptions& options, QWidget* parent) {
    if (url.scheme() != QLatin1String("http") || isLoopback(url.host()) ||
        options.plainHttpAllowed(url))
        return true;
    const bool agreed =
        ui::MessageBoxService::show(
            {QStringLiteral("%1 is reached by plain http: the password and the contacts "
                            "would cross the network unencrypted. Use it anyway?")
                 .arg(url.host()),
             ui::Buttons::YesNo, ui::Icon::Exclamation, 1, QStringLiteral("Sync with server")},
            parent) == ui::Answer::Yes;
    if (agreed)
        options.plainHttpAgreed = url;
    return agreed;
}

} // namespace sync

frmSync::frmSync(AppContext& app, QWidget* parent)
    : QDialog(parent), m_app(app), m_task(new sync::SyncTask(this)) {
    setObjectName(QStringLiteral("frmSync"));
    setWindowTitle(QStringLiteral("Sync with server"));
    auto named = [](auto* widget, const char* name) {
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    };
    txtUrl = named(new QLineEdit(this), "txtUrl");
    txtUrl->setPlaceholderText(QStringLiteral("https://dav.example.org/"));
    txtUser = named(new QLineEdit(this), "txtUser");
    txtPassword = named(new QLineEdit(this), "txtPassword");
    txtPassword->setEchoMode(QLineEdit::Password);
    cmdTest = named(new QPushButton(QStringLiteral("&Test connection"), this), "cmdTest");
    cmdCancelTest = named(new QPushButton(QStringLiteral("Ca&ncel test"), this), "cmdCancelTest");
    lstBooks = named(new QListWidget(this), "lstBooks");
    lblTest = named(new QLabel(this), "lblTest");
    lblTest->setWordWrap(true);
    chkAtStart = named(new QCheckBox(QStringLiteral("Sync at &start"), this), "chkAtStart");
    chkBeforeExit =
        named(new QCheckBox(QStringLiteral("Sync before e&xit"), this), "chkBeforeExit");
    const ui::DialogButtons buttons =
        ui::makeDialogButtons(this, QStringLiteral("OK"), QStringLiteral("Cancel"));
    cmdOK = buttons.Command1;
    cmdCancel = buttons.Command2;

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Server &URL:"), txtUrl);
    form->addRow(QStringLiteral("User &name:"), txtUser);
    form->addRow(QStringLiteral("&Password:"), txtPassword);
    auto* testRow = new QHBoxLayout;
    testRow->addWidget(cmdTest);
    testRow->addWidget(cmdCancelTest);
    testRow->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(testRow);
    auto* booksLabel = new QLabel(QStringLiteral("&Address book:"), this);
    booksLabel->setBuddy(lstBooks);
    layout->addWidget(booksLabel);
    layout->addWidget(lstBooks, 1);
    layout->addWidget(lblTest);
    layout->addWidget(chkAtStart);
    layout->addWidget(chkBeforeExit);
    layout->addWidget(buttons.box);
    setMinimumWidth(420);

    connect(cmdTest, &QPushButton::clicked, this, &frmSync::cmdTest_Click);
    connect(cmdCancelTest, &QPushButton::clicked, this, &frmSync::cmdCancelTest_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmSync::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSync::reject);
    connect(m_task, &sync::SyncTask::finished, this, &frmSync::testFinished);
    setTesting(false);
}

frmSync::~frmSync() {
    // A test still running uses the client: it is cancelled and ends before the client goes.
    delete m_task;
}

void frmSync::Form_Load() {
    const sync::SyncAccount account = sync::SyncAccount::load(m_app.folder().path());
    m_options = sync::SyncOptions::load(m_app.folder().path());
    txtUrl->setText(account.url.toString());
    txtUser->setText(account.user);
    if (account.isSet())
        txtPassword->setText(sync::Password::read(sync::Password::keyOf(account.url, account.user))
                                 .value_or(QString()));
    m_chosen = account.addressBook;
    if (!m_chosen.isEmpty()) {
        auto* item = new QListWidgetItem(m_chosen.toString(), lstBooks);
        item->setData(Qt::UserRole, m_chosen);
        lstBooks->setCurrentItem(item);
    }
    chkAtStart->setChecked(m_options.atStart);
    chkBeforeExit->setChecked(m_options.beforeExit);
}

std::optional<QUrl> frmSync::usableUrl() {
    const QUrl url = QUrl::fromUserInput(txtUrl->text().trimmed());
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http"))) {
        ui::MessageBoxService::inform(
            QStringLiteral("Type the server's address, such as https://dav.example.org/."),
            windowTitle(), ui::Icon::Exclamation, this);
        return std::nullopt;
    }
    if (!sync::plainHttpAgreed(url, m_options, this))
        return std::nullopt;
    return url;
}

void frmSync::cmdTest_Click() {
    const std::optional<QUrl> url = usableUrl();
    if (!url)
        return;
    const sync::SyncAccount account{*url, txtUser->text(), {}};
    m_client = std::make_unique<sync::CardDavClient>(
        sync::clientAccount(account, m_options, txtPassword->text()));
    m_found.clear();
    lstBooks->clear();
    lblTest->setText(QStringLiteral("Looking for address books..."));
    setTesting(true);
    sync::CardDavClient* client = m_client.get();
    m_task->start([this, client] { m_found = client->discover(); }, [client] { client->cancel(); });
}

void frmSync::cmdCancelTest_Click() {
    m_task->cancel();
}

void frmSync::testFinished(bool ok, const QString& failure) {
    setTesting(false);
    if (!ok) {
        lblTest->setText(failure);
    } else if (m_found.isEmpty()) {
        lblTest->setText(QStringLiteral("The server has no address book for this user."));
    } else {
        for (const sync::AddressBookInfo& book : m_found) {
            const QString name = book.displayName.isEmpty() ? book.url.path() : book.displayName;
            auto* item = new QListWidgetItem(name, lstBooks);
            item->setToolTip(book.url.toString());
            item->setData(Qt::UserRole, book.url);
            if (book.url == m_chosen || !lstBooks->currentItem())
                lstBooks->setCurrentItem(item);
        }
        lblTest->setText(
            m_found.size() == 1
                ? QStringLiteral("Connected: 1 address book found.")
                : QStringLiteral("Connected: %1 address books found.").arg(m_found.size()));
    }
    Q_EMIT testEnded();
}

void frmSync::setTesting(bool testing) {
    for (QWidget* control : {static_cast<QWidget*>(txtUrl), static_cast<QWidget*>(txtUser),
                             static_cast<QWidget*>(txtPassword), static_cast<QWidget*>(cmdTest),
                             static_cast<QWidget*>(cmdOK)})
        control->setEnabled(!testing);
    cmdCancelTest->setEnabled(testing);
}

void frmSync::cmdOK_Click() {
    if (m_task->isRunning())
        return;
    const std::optional<QUrl> url = usableUrl();
    if (!url)
        return;
    sync::SyncAccount account{*url, txtUser->text().trimmed(), {}};
    if (const QListWidgetItem* item = lstBooks->currentItem())
        account.addressBook = item->data(Qt::UserRole).toUrl();
    m_options.atStart = chkAtStart->isChecked();
    m_options.beforeExit = chkBeforeExit->isChecked();
    const QString folder = m_app.folder().path();
    if (!account.save(folder) || !m_options.save(folder)) {
        ui::MessageBoxService::inform(
            QStringLiteral("The account could not be written to the settings file."), windowTitle(),
            ui::Icon::Critical, this);
        return;
    }
    const QString key = sync::Password::keyOf(account.url, account.user);
    if (txtPassword->text().isEmpty())
        sync::Password::remove(key);
    else
        sync::Password::write(key, txtPassword->text());
    accept();
}

void frmSync::reject() {
    if (m_task->isRunning()) {
        m_task->cancel();
        return;
    }
    QDialog::reject();
}

} // namespace quillory

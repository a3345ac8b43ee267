#pragma once

// A real CardDAV server for the sync tests: Radicale on a free loopback port, with one user in a
// plain htpasswd file and its storage in a temporary folder of its own; over https, with a
// self-signed certificate made for it, where a test needs one nobody trusts.

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>
#include <utility>

namespace quillory::test {

class RadicaleServer {
public:
    // Started at once; isRunning() says whether it came up (error() says why not).
    RadicaleServer();
    enum class Transport { Http, Https };
    explicit RadicaleServer(Transport transport);
    ~RadicaleServer();
    RadicaleServer(const RadicaleServer&) = delete;
    RadicaleServer& operator=(const RadicaleServer&) = delete;

    // Starts it again on the same port and storage, and waits until it answers.
    bool start();
    void stop();
    bool isRunning() const { return m_process.state() == QProcess::Running && m_answering; }
    QString error() const { return m_error; }

    QUrl root() const;
    QString user() const { return QStringLiteral("u1"); }
    QString password() const { return QStringLiteral("pw1"); }
    // Where the server keeps its collections: a card written into an address book's folder
    // there is on the server (the benchmarks fill large address books that way).
    QString storageFolder() const { return m_dir.filePath(QStringLiteral("collections")); }

    // MKCOL of an address book under the user's home; returns its URL, empty on failure.
    QUrl makeAddressBook(const QString& name, const QString& displayName);

    // Plain HTTP as another device would send it, for the tests that change the server side.
    struct Reply {
        int status = 0; // 0: no answer at all
        QByteArray body;
        QByteArray etag;
    };
    Reply request(const QByteArray& verb, const QUrl& url, const QByteArray& body = {},
                  const QList<std::pair<QByteArray, QByteArray>>& headers = {}) const;
    Reply put(const QUrl& url, const QByteArray& vcard) const;
    Reply remove(const QUrl& url) const { return request("DELETE", url); }
    Reply get(const QUrl& url) const { return request("GET", url); }

private:
    bool waitUntilAnswering();

    bool makeCertificate();

    Transport m_transport = Transport::Http;
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    bool m_answering = false;
    QString m_error;
};

} // namespace quillory::test

#include "RadicaleServer.h"

#include <csignal>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QSslError>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <sys/prctl.h>

namespace quillory::test {

namespace {

constexpr int startWithinMs = 30000;
constexpr int answerWithinMs = 30000;

quint16 freeLoopbackPort() {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

bool writeFile(const QString& path, const QByteArray& contents) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

} // namespace

RadicaleServer::RadicaleServer() : RadicaleServer(Transport::Http) {}

RadicaleServer::RadicaleServer(Transport transport) : m_transport(transport) {
    m_port = freeLoopbackPort();
    const QByteArray dir = m_dir.path().toUtf8();
    const QByteArray tls =
        transport == Transport::Https
            ? "\nssl = True\ncertificate = " + dir + "/cert.pem\nkey = " + dir + "/key.pem"
            : QByteArray();
    const QByteArray config =
        "[server]\nhosts = 127.0.0.1:" + QByteArray::number(m_port) + tls +
        "\n[auth]\ntype = htpasswd\nhtpasswd_filename = " + dir +
        "/users\nhtpasswd_encryption = plain\n[storage]\nfilesystem_folder = " + dir +
        "/collections\n[logging]\nlevel = warning\n";
    if (!m_dir.isValid() || m_port == 0 ||
        !writeFile(m_dir.filePath(QStringLiteral("users")),
                   (user() + ':' + password() + '\n').toUtf8()) ||
        !writeFile(m_dir.filePath(QStringLiteral("radicale.conf")), config) ||
        (transport == Transport::Https && !makeCertificate())) {
        m_error = QStringLiteral("cannot prepare the server's folder or find a free port");
        return;
    }
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    // A test killed half-way takes its server with it.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    start();
}

RadicaleServer::~RadicaleServer() {
    stop();
}

bool RadicaleServer::start() {
    stop();
    m_error.clear();
    m_process.start(QStringLiteral("radicale"),
                    {QStringLiteral("--config"), m_dir.filePath(QStringLiteral("radicale.conf"))});
    if (!m_process.waitForStarted()) {
        m_error = QStringLiteral("radicale does not start (is the package installed?): ") +
                  m_process.errorString();
        return false;
    }
    return waitUntilAnswering();
}

void RadicaleServer::stop() {
    m_answering = false;
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(startWithinMs)) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

bool RadicaleServer::waitUntilAnswering() {
    const auto answering = [this] {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_port);
        return socket.waitForConnected(200);
    };
    (void)QTest::qWaitFor([&] { return m_process.state() != QProcess::Running || answering(); },
                          startWithinMs);
    m_answering = m_process.state() == QProcess::Running && answering();
    if (!m_answering)
        m_error = QStringLiteral("radicale does not answer on port %1").arg(m_port);
    return m_answering;
}

// A certificate for 127.0.0.1 that no authority signed.
bool RadicaleServer::makeCertificate() {
    QProcess openssl;
    openssl.setWorkingDirectory(m_dir.path());
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                   "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", "key.pem",
                   "-out", "cert.pem"});
    return openssl.waitForFinished(startWithinMs) && openssl.exitStatus() == QProcess::NormalExit &&
           openssl.exitCode() == 0;
}

QUrl RadicaleServer::root() const {
    return QUrl(QStringLiteral("%1://127.0.0.1:%2/")
                    .arg(m_transport == Transport::Https ? "https" : "http")
                    .arg(m_port));
}

QUrl RadicaleServer::makeAddressBook(const QString& name, const QString& displayName) {
    const QUrl url = root().resolved(QUrl(user() + '/' + name + '/'));
    QByteArray body = R"(<?xml version="1.0" encoding="utf-8"?>
<mkcol xmlns="DAV:" xmlns:CR="urn:ietf:params:xml:ns:carddav"><set><prop>
<resourcetype><collection/><CR:addressbook/></resourcetype><displayname>NAME</displayname>
</prop></set></mkcol>)";
    body.replace("NAME", displayName.toHtmlEscaped().toUtf8());
    const Reply reply = request("MKCOL", url, body, {{"Content-Type", "application/xml"}});
    return reply.status == 201 ? url : QUrl();
}

RadicaleServer::Reply RadicaleServer::put(const QUrl& url, const QByteArray& vcard) const {
    return request("PUT", url, vcard, {{"Content-Type", "text/vcard; charset=utf-8"}});
}

RadicaleServer::Reply
RadicaleServer::request(const QByteArray& verb, const QUrl& url, const QByteArray& body,
                        const QList<std::pair<QByteArray, QByteArray>>& headers) const {
    QNetworkAccessManager network;
    QNetworkRequest request(url);
    request.setRawHeader("Authorization",
                         "Basic " + (user() + ':' + password()).toUtf8().toBase64());
    for (const auto& [name, value] : headers)
        request.setRawHeader(name, value);
    QNetworkReply* reply = network.sendCustomRequest(request, verb, body);
    // The test itself knows the certificate it made.
    if (m_transport == Transport::Https) {
        QList<QSslError> known;
        for (const QSslCertificate& certificate :
             QSslCertificate::fromPath(m_dir.filePath(QStringLiteral("cert.pem"))))
            known.append(QSslError(QSslError::SelfSignedCertificate, certificate));
        reply->ignoreSslErrors(known);
    }
    (void)QTest::qWaitFor([reply] { return reply->isFinished(); }, answerWithinMs);
    Reply answer;
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    answer.body = reply->readAll();
    answer.etag = reply->rawHeader("ETag");
    delete reply;
    return answer;
}

} // namespace quillory::test

#include "support/HttpsTestServer.h"

#include <memory>

#include <QFile>
#include <QProcess>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>

namespace {

QString runOpenssl(const QString& folder, const QStringList& arguments)
{
    QProcess openssl;
    openssl.setWorkingDirectory(folder);
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"), arguments);
    if (!openssl.waitForFinished(60000) || openssl.exitStatus() != QProcess::NormalExit ||
        openssl.exitCode() != 0)
        return QStringLiteral("openssl %1 failed: %2")
            .arg(arguments.join(QLatin1Char(' ')), QString::fromLocal8Bit(openssl.readAll()));
    return {};
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

QString TestCertificates::make()
{
    if (!m_folder.isValid())
        return QStringLiteral("no temporary folder");
    const QString dir = m_folder.path();
    const QStringList ecKey = {
        QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
        QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
    QFile extensions(dir + QStringLiteral("/server.ext"));
    if (!extensions.open(QIODevice::WriteOnly))
        return QStringLiteral("cannot write the extensions file");
    extensions.write("subjectAltName=IP:127.0.0.1\n"
                     "basicConstraints=critical,CA:FALSE\n"
                     "keyUsage=critical,digitalSignature\n"
                     "extendedKeyUsage=serverAuth\n");
    extensions.close();

    const QList<QStringList> steps = {
        QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + ecKey +
            QStringList{
                QStringLiteral("-keyout"), QStringLiteral("ca.key"), QStringLiteral("-out"),
                QStringLiteral("ca.pem"), QStringLiteral("-days"), QStringLiteral("2"),
                QStringLiteral("-subj"), QStringLiteral("/CN=Vantrell test authority"),
                QStringLiteral("-addext"), QStringLiteral("basicConstraints=critical,CA:TRUE"),
                QStringLiteral("-addext"), QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")},
        QStringList{QStringLiteral("req")} + ecKey +
            QStringList{QStringLiteral("-keyout"), QStringLiteral("server.key"),
                        QStringLiteral("-out"), QStringLiteral("server.csr"),
                        QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1")},
        QStringList{QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                    QStringLiteral("server.csr"), QStringLiteral("-CA"), QStringLiteral("ca.pem"),
                    QStringLiteral("-CAkey"), QStringLiteral("ca.key"),
                    QStringLiteral("-CAcreateserial"), QStringLiteral("-days"), QStringLiteral("2"),
                    QStringLiteral("-extfile"), QStringLiteral("server.ext"),
                    QStringLiteral("-out"), QStringLiteral("server.pem")},
    };
    for (const QStringList& step : steps) {
        if (const QString error = runOpenssl(dir, step); !error.isEmpty())
            return error;
    }
    authority = QSslCertificate(readAll(dir + QStringLiteral("/ca.pem")));
    server = QSslCertificate(readAll(dir + QStringLiteral("/server.pem")));
    serverKey = QSslKey(readAll(dir + QStringLiteral("/server.key")), QSsl::Ec);
    if (authority.isNull() || server.isNull() || serverKey.isNull())
        return QStringLiteral("openssl's output could not be loaded");
    return {};
}

HttpsTestServer::HttpsTestServer(const QSslCertificate& certificate, const QSslKey& key)
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(certificate);
    tls.setPrivateKey(key);
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    m_server.setSslConfiguration(tls);
    connect(&m_server, &QSslServer::errorOccurred, this,
            [this](QSslSocket*, QAbstractSocket::SocketError) { ++m_handshakeFailures; });
    connect(&m_server, &QSslServer::sslErrors, this,
            [this](QSslSocket*, const QList<QSslError>&) { ++m_handshakeFailures; });
    connect(&m_server, &QTcpServer::pendingConnectionAvailable, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection())
            serve(static_cast<QSslSocket*>(socket));
    });
    if (!m_server.listen(QHostAddress::LocalHost, 0))
        qFatal("HTTPS test server cannot listen: %s", qPrintable(m_server.errorString()));
}

QString HttpsTestServer::authority() const
{
    return QStringLiteral("127.0.0.1:%1").arg(port());
}

void HttpsTestServer::setResponse(const QString& path, const HttpsTestResponse& response)
{
    m_responses.insert(path, response);
}

void HttpsTestServer::serve(QSslSocket* socket)
{
    socket->setParent(this);
    auto request = std::make_shared<QByteArray>();
    connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QSslSocket::readyRead, this, [this, socket, request] {
        if (request->endsWith("\r\n\r\n"))
            return; // one request per connection is all the download makes
        request->append(socket->readAll());
        if (!request->contains("\r\n\r\n"))
            return;
        const QList<QByteArray> requestLine = request->left(request->indexOf("\r\n")).split(' ');
        const QString path =
            requestLine.size() >= 2 ? QString::fromLatin1(requestLine[1]) : QString();
        *request = "\r\n\r\n";
        m_requests << path;
        answer(socket, path);
    });
}

void HttpsTestServer::answer(QSslSocket* socket, const QString& path)
{
    HttpsTestResponse response;
    if (auto it = m_responses.constFind(path); it != m_responses.cend())
        response = *it;
    else
        response = HttpsTestResponse{404, "no such file", -1, 0, 0, false, false, {}};
    if (response.silent)
        return;

    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Status\r\n";
    if (response.announcedLength != -2) {
        const qint64 length =
            response.announcedLength == -1 ? response.body.size() : response.announcedLength;
        head += "Content-Length: " + QByteArray::number(length) + "\r\n";
    } else {
        head += "Connection: close\r\n";
    }
    head += response.extraHeaders + "\r\n";
    socket->write(head);

    const bool close = response.closeAfterBody || response.announcedLength == -2;
    if (response.chunkSize <= 0) {
        socket->write(response.body);
        if (close)
            socket->disconnectFromHost();
        return;
    }
    auto* timer = new QTimer(socket);
    auto sent = std::make_shared<qsizetype>(0);
    connect(timer, &QTimer::timeout, socket, [socket, timer, sent, response, close] {
        socket->write(response.body.mid(*sent, response.chunkSize));
        *sent += response.chunkSize;
        if (*sent >= response.body.size()) {
            timer->stop();
            if (close)
                socket->disconnectFromHost();
        }
    });
    timer->start(response.chunkIntervalMs);
}

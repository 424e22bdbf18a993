#pragma once

#include <QByteArray>
#include <QHash>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslServer>
#include <QStringList>
#include <QTemporaryDir>

// A certificate authority and a server certificate for 127.0.0.1 signed by it, made with
// the openssl command line in a temporary folder when the test runs.
class TestCertificates
{
public:
    // Empty on success, else what went wrong.
    QString make();

    QSslCertificate authority;
    QSslCertificate server;
    QSslKey serverKey;

private:
    QTemporaryDir m_folder;
};

// How the server answers one path.
struct HttpsTestResponse
{
    int status = 200;
    QByteArray body;
    // Content-Length as sent: -1 is the body's size; -2 sends none (the body then ends when
    // the connection closes).
    qint64 announcedLength = -1;
    // The body goes out in pieces of this size, one per interval (0: all at once).
    int chunkSize = 0;
    int chunkIntervalMs = 0;
    // Closes the connection after the body (a cut when the body is shorter than announced).
    bool closeAfterBody = false;
    // Takes the request and never answers.
    bool silent = false;
    QByteArray extraHeaders; // "Name: value\r\n" lines
};

// An HTTPS server on loopback for the usermap download: answers GET requests from a table
// of paths (404 for any other) and records the paths as they arrive on the request line.
class HttpsTestServer : public QObject
{
    Q_OBJECT

public:
    HttpsTestServer(const QSslCertificate& certificate, const QSslKey& key);

    quint16 port() const { return m_server.serverPort(); }
    // "127.0.0.1:<port>", to use as the web host.
    QString authority() const;

    void setResponse(const QString& path, const HttpsTestResponse& response);
    // The request paths received, percent-encoding as sent.
    const QStringList& requests() const { return m_requests; }
    int handshakeFailures() const { return m_handshakeFailures; }

private:
    void serve(QSslSocket* socket);
    void answer(QSslSocket* socket, const QString& path);

    QSslServer m_server;
    QHash<QString, HttpsTestResponse> m_responses;
    QStringList m_requests;
    int m_handshakeFailures = 0;
};

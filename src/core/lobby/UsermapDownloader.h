#pragma once

#include "base/common/StreamedFile.h"
#include "core/common/Environment.h"

#include <filesystem>
#include <memory>

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>

namespace vantrell::core {

// Fetches one usermap from the web site over HTTPS into the usermaps folder.
//
// The certificate is checked against Environment::tls and any error ends the download
// (there is no fallback to plain HTTP, and redirects may not lower the security). A status
// outside 2xx, 30 s without any progress, or a body over the size limit is a failure. The
// body goes to a temporary file beside the target that replaces it only when the whole body
// has arrived, so a failed download leaves neither half a file nor a changed one.
class UsermapDownloader : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 kDefaultMaxSize = 512LL * 1024 * 1024;

    explicit UsermapDownloader(const Environment& env, QObject* parent = nullptr);
    ~UsermapDownloader() override;

    // Fetches "https://" host path into target. host may carry a port ("host:port"); path is
    // unescaped text and is percent-encoded for the request. Ends with succeeded() or failed(),
    // always after start() has returned. A download under way is aborted first.
    void start(const QString& host, const QString& path, const std::filesystem::path& target);
    // Stops the download under way and removes its temporary file; no signal follows.
    void abort();
    bool isRunning() const { return m_reply != nullptr || m_pendingFailure; }

    void setMaxSize(qint64 bytes) { m_maxSize = bytes; }

signals:
    // Bytes received so far and the total; total is -1 while the size is unknown.
    void progress(qint64 received, qint64 total);
    // size is the target file's size after the rename, -1 if it cannot be read.
    void succeeded(qint64 size);
    void failed(const QString& reason);

private:
    void onReadyRead();
    void onFinished();
    void fail(const QString& reason);
    void failLater(const QString& reason);
    bool statusIsSuccess() const;

    const Environment& m_env;
    QNetworkAccessManager m_manager;
    QPointer<QNetworkReply> m_reply;
    std::unique_ptr<StreamedFileWriter> m_writer;
    qint64 m_maxSize = kDefaultMaxSize;
    bool m_pendingFailure = false;
    int m_generation = 0;
};

} // namespace vantrell::core

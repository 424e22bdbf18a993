#include "core/lobby/UsermapDownloader.h"

#include <chrono>
#include <system_error>

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

using namespace std::chrono_literals;

namespace vantrell::core {

UsermapDownloader::UsermapDownloader(const Environment& env, QObject* parent)
    : QObject(parent), m_env(env)
{
}

UsermapDownloader::~UsermapDownloader()
{
    abort();
}

void UsermapDownloader::start(const QString& host, const QString& path,
                              const std::filesystem::path& target)
{
    abort();

    QUrl url;
    url.setScheme(QStringLiteral("https"));
    url.setAuthority(host, QUrl::StrictMode);
    url.setPath(path, QUrl::DecodedMode);
    if (!url.isValid() || url.host().isEmpty()) {
        failLater(QStringLiteral("Not a valid address: https://%1%2").arg(host, path));
        return;
    }

    m_writer = std::make_unique<StreamedFileWriter>(target);
    if (const Result<void> opened = m_writer->open(); !opened) {
        m_writer.reset();
        failLater(QString::fromStdString(opened.error()));
        return;
    }

    QNetworkRequest request(url);
    request.setSslConfiguration(m_env.tls.configuration());
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(static_cast<int>(m_env.timing.interval(30000ms).count()));
    m_reply = m_manager.get(request);
    QNetworkReply* reply = m_reply;
    connect(reply, &QNetworkReply::readyRead, this, &UsermapDownloader::onReadyRead);
    connect(reply, &QNetworkReply::finished, this, &UsermapDownloader::onFinished);
    connect(reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64 total) {
        // Only the answer that carries the file counts (not a redirect's body).
        if (statusIsSuccess())
            emit progress(received, total > 0 ? total : -1);
    });
    connect(reply, &QNetworkReply::metaDataChanged, this, [this] {
        if (!m_reply || !statusIsSuccess())
            return;
        const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
        if (!length.isValid() || length.toLongLong() <= m_maxSize)
            return;
        // Not from inside the reply's own signal: Qt does not expect an abort there.
        const int generation = m_generation;
        QTimer::singleShot(0, this, [this, generation] {
            if (generation == m_generation && m_reply)
                fail(QStringLiteral("The file is larger than %1 bytes.").arg(m_maxSize));
        });
    });
}

void UsermapDownloader::abort()
{
    ++m_generation;
    m_pendingFailure = false;
    if (QNetworkReply* reply = m_reply) {
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    if (m_writer) {
        m_writer->abort();
        m_writer.reset();
    }
}

bool UsermapDownloader::statusIsSuccess() const
{
    if (!m_reply)
        return false;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return status >= 200 && status < 300;
}

void UsermapDownloader::onReadyRead()
{
    if (!m_reply)
        return;
    if (!statusIsSuccess()) {
        // A redirect's body: not the file; finished() decides. An error page is not the file
        // either, whatever follows, and one that never ends (or trickles) must not keep the
        // join waiting for its end: the answer fails at its first bytes.
        m_reply->readAll();
        const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status < 300 || status >= 400)
            fail(QStringLiteral("The web site answered %1.").arg(status));
        return;
    }
    const QByteArray bytes = m_reply->readAll();
    if (static_cast<qint64>(m_writer->bytesWritten()) + bytes.size() > m_maxSize) {
        fail(QStringLiteral("The file is larger than %1 bytes.").arg(m_maxSize));
        return;
    }
    if (const Result<void> written = m_writer->write(std::string_view(bytes.data(), bytes.size()));
        !written)
        fail(QString::fromStdString(written.error()));
}

void UsermapDownloader::onFinished()
{
    if (!m_reply)
        return;
    if (m_reply->error() != QNetworkReply::NoError) {
        fail(m_reply->errorString());
        return;
    }
    if (!statusIsSuccess()) {
        fail(QStringLiteral("The web site answered %1.")
                 .arg(m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt()));
        return;
    }
    onReadyRead();
    if (!m_writer)
        return; // failed while writing the rest
    // Qt reports a body cut short of its announced length as an error above; this is a second
    // guard. A compressed body announces its compressed length, so it is not compared.
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && !m_reply->hasRawHeader("Content-Encoding") &&
        length.toLongLong() != static_cast<qint64>(m_writer->bytesWritten())) {
        fail(QStringLiteral("The file arrived incomplete."));
        return;
    }
    const std::filesystem::path target = m_writer->target();
    if (const Result<void> committed = m_writer->commit(); !committed) {
        fail(QString::fromStdString(committed.error()));
        return;
    }
    m_writer.reset();
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    reply->deleteLater();
    std::error_code ec;
    const auto size = std::filesystem::file_size(target, ec);
    emit succeeded(ec ? -1 : static_cast<qint64>(size));
}

void UsermapDownloader::fail(const QString& reason)
{
    abort();
    emit failed(reason);
}

void UsermapDownloader::failLater(const QString& reason)
{
    m_pendingFailure = true;
    const int generation = m_generation;
    QTimer::singleShot(0, this, [this, generation, reason] {
        if (generation != m_generation || !m_pendingFailure)
            return;
        m_pendingFailure = false;
        emit failed(reason);
    });
}

} // namespace vantrell::core

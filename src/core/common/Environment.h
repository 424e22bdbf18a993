#pragma once

#include "core/common/Timing.h"

#include <filesystem>
#include <optional>

#include <QList>
#include <QProcessEnvironment>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QString>

namespace vantrell::core {

// The usermap file server's port unless the environment says otherwise.
inline constexpr quint16 kFileServerPort = 27020;

// TLS for the web downloads: the system's trusted authorities, unless authorities of one's own
// are put here (tests put their own certificate authority). The system's store is read when
// the first download asks for it, never at start: reading it costs a good share of a start.
class DownloadTls
{
public:
    void setCaCertificates(const QList<QSslCertificate>& authorities)
    {
        m_authorities = authorities;
    }
    QSslConfiguration configuration() const;

private:
    std::optional<QList<QSslCertificate>> m_authorities;
};

// What the program is given from outside, built once by main() (tests build their own):
// where "vantrel.cfg" lives, the built-in addresses, and the clock for every fixed wait.
// Passed by reference to whoever needs it; there is no global copy.
struct Environment
{
    // The folder that holds "vantrel.cfg": the program's own folder (never the working
    // folder), or for an installed program the player's configuration folder.
    QString programFolder;
    // Installed from a package, which also brings its updates (see ConfigLocation).
    bool installed = false;
    // The built-in main server, where Connect goes unless the player chose another.
    QString mainServerAddress;
    quint16 mainServerPort = 4444;
    // "HOST[:PORT]" given with `--server`: the main server for this run, not saved; empty:
    // none. Checked before it gets here.
    QString mainServerForRun;
    // Host name of the web site with the usermaps and the update archive.
    QString webHost;
    // The port the room host's usermap file server listens on and members fetch from.
    quint16 fileServerPort = kFileServerPort;
    DownloadTls tls;
    Timing timing;
    // The variables the program was started with, which its games inherit: where "wine" is
    // looked for, and what the player has told Wine already.
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();

    // programFolder as a path for settings::ConfigFile.
    std::filesystem::path configFolder() const;
    // "https://<web host>/vantrex.zip", the archive the outdated-version advice names.
    QString updateArchiveUrl() const;
};

} // namespace vantrell::core

#pragma once

#include <string>

#include <QString>

namespace vantrell::core {

struct Environment;

// Where a connection to the main server goes: a host name or an IPv4 address, and a port.
struct MainServerEndpoint
{
    QString host;
    quint16 port = 0;

    bool operator==(const MainServerEndpoint&) const = default;
};

// The main server the next Connect goes to: the one given for this run while there is one,
// else the one the player chose in the settings, else the built-in one. The texts are
// "HOST[:PORT]" as lobby::parseMainServerAddress reads them; one that does not read counts
// as no choice.
MainServerEndpoint chooseMainServer(const Environment& env, const QString& forRun,
                                    const std::string& chosen);

} // namespace vantrell::core

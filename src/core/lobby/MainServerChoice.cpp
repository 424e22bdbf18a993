#include "core/lobby/MainServerChoice.h"

#include "base/lobby/MainServerAddress.h"
#include "core/common/Environment.h"

namespace vantrell::core {

MainServerEndpoint chooseMainServer(const Environment& env, const QString& forRun,
                                    const std::string& chosen)
{
    for (const std::string& text : {forRun.toStdString(), chosen}) {
        const Result<lobby::MainServerAddress> address = lobby::parseMainServerAddress(text);
        if (address && !address->host.empty())
            return {QString::fromStdString(address->host), address->port};
    }
    return {env.mainServerAddress, env.mainServerPort};
}

} // namespace vantrell::core

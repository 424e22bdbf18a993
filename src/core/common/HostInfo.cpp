#include "core/common/HostInfo.h"

#include "base/roomhost/OsDescription.h"

#include <QFile>
#include <QOperatingSystemVersion>
#include <QSysInfo>

namespace vantrell::core {

namespace {

// Whether the operating system (not this build of the program) is 64-bit.
bool systemIs64Bit()
{
    const QString arch = QSysInfo::currentCpuArchitecture();
    return arch.contains(QLatin1String("64")) || arch == QLatin1String("s390x");
}

std::string systemName()
{
#if defined(Q_OS_WIN)
    const auto version = QOperatingSystemVersion::current();
    return roomhost::windowsSystemName(roomhost::WindowsPlatform::WinNT,
                                       static_cast<unsigned>(version.majorVersion()),
                                       static_cast<unsigned>(version.minorVersion()), "");
#elif defined(Q_OS_LINUX)
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        QFile file(QString::fromLatin1(path));
        if (file.open(QIODevice::ReadOnly))
            return roomhost::linuxSystemName(file.read(64 * 1024).toStdString());
    }
    return roomhost::linuxSystemName({});
#else
    std::string name = QSysInfo::prettyProductName().toStdString();
    for (char& c : name) {
        if (c == '~')
            c = '-';
    }
    return name;
#endif
}

} // namespace

QString hostOsDescription()
{
    // No platform Qt supports reports a service pack any more.
    return QString::fromStdString(roomhost::osDescription(systemName(), systemIs64Bit(), ""));
}

QString hostComputerName()
{
    return QSysInfo::machineHostName();
}

} // namespace vantrell::core

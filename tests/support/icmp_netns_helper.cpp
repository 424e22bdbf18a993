// Runs one ICMP echo inside a network namespace of its own, so a test can set the
// namespace's ICMP settings and drop privileges without touching the machine's.
//
//   icmp_netns_helper datagram-as-nobody   ping_group_range admits nobody; echo as nobody
//   icmp_netns_helper refused-as-nobody    ping_group_range admits no one; echo as nobody
//   icmp_netns_helper ignored              echoes are not answered; raw echo as root
//
// Prints "answered", "unanswered" or "unsent <why>"; exits 77 when no namespace can be
// made here, 2 on any other setup failure.
#include "core/common/IcmpEcho.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <grp.h>
#include <net/if.h>
#include <sched.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

using vantrell::core::IcmpMethod;

namespace {

bool writeFile(const char* path, const std::string& text)
{
    std::ofstream out(path);
    out << text;
    out.close();
    return static_cast<bool>(out);
}

bool loopbackUp()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool ok = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
    ok = ok && ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    ::close(fd);
    return ok;
}

bool becomeNobody()
{
    return ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    const std::string mode = argv[1];
    if (::unshare(CLONE_NEWNET) != 0)
        return 77;
    if (!loopbackUp())
        return 2;

    IcmpMethod method = IcmpMethod::Automatic;
    std::chrono::milliseconds wait{5000};
    if (mode == "datagram-as-nobody") {
        if (!writeFile("/proc/sys/net/ipv4/ping_group_range", "65534 65534") || !becomeNobody())
            return 2;
    } else if (mode == "refused-as-nobody") {
        if (!writeFile("/proc/sys/net/ipv4/ping_group_range", "1 0") || !becomeNobody())
            return 2;
    } else if (mode == "ignored") {
        if (!writeFile("/proc/sys/net/ipv4/icmp_echo_ignore_all", "1"))
            return 2;
        method = IcmpMethod::RawOnly;
        wait = std::chrono::milliseconds(300);
    } else {
        return 2;
    }

    const auto result = vantrell::core::sendIcmpEcho(0x7f000001, wait, method, 1);
    if (result.answered)
        std::printf("answered\n");
    else if (!result.failure.empty())
        std::printf("unsent %s\n", result.failure.c_str());
    else
        std::printf("unanswered\n");
    return 0;
}

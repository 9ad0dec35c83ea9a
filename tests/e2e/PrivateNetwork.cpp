// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2e/PrivateNetwork.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <net/route.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace e2e {
namespace {

bool g_inside = false;
std::string& failure()
{
    static std::string reason = "enterPrivateNetwork() was not called";
    return reason;
}

std::string lastError(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

bool writeFile(const char* path, const std::string& text)
{
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    ::close(fd);
    return ok;
}

// A user namespace in which this process keeps its own user and group ids
// and holds the capabilities needed to configure its network.
bool enterUserNamespace()
{
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0)
        return false;
    writeFile("/proc/self/setgroups", "deny");
    return writeFile("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1\n")
           && writeFile("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1\n");
}

int controlSocket() { return ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0); }

bool bringLoopbackUp()
{
    const int fd = controlSocket();
    if (fd < 0)
        return false;
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool ok = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    if (ok) {
        request.ifr_flags = short(request.ifr_flags | IFF_UP | IFF_RUNNING);
        ok = ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    }
    ::close(fd);
    return ok;
}

bool changeDefaultRoute(unsigned long request)
{
    const int fd = controlSocket();
    if (fd < 0)
        return false;
    rtentry route{};
    for (sockaddr* address : {&route.rt_dst, &route.rt_genmask, &route.rt_gateway}) {
        auto* ipv4 = reinterpret_cast<sockaddr_in*>(address);
        ipv4->sin_family = AF_INET;
        ipv4->sin_addr.s_addr = htonl(INADDR_ANY);
    }
    char device[] = "lo";
    route.rt_dev = device;
    route.rt_flags = RTF_UP;
    const bool ok = ::ioctl(fd, request, &route) == 0 || (request == SIOCADDRT && errno == EEXIST);
    ::close(fd);
    return ok;
}

// The safety net: a broadcast must have nowhere to go but lo.
bool onlyLoopbackExists()
{
    struct if_nameindex* interfaces = ::if_nameindex();
    if (!interfaces)
        return false;
    bool onlyLo = true;
    for (const struct if_nameindex* i = interfaces; i->if_index != 0; ++i)
        onlyLo = onlyLo && std::strcmp(i->if_name, "lo") == 0;
    ::if_freenameindex(interfaces);
    return onlyLo;
}

} // namespace

std::string enterPrivateNetwork()
{
    if (g_inside)
        return {};
    if (::unshare(CLONE_NEWNET) != 0) {
        const std::string asRoot = lastError("unshare(CLONE_NEWNET)");
        if (!enterUserNamespace()) {
            failure() = asRoot + "; " + lastError("in a new user namespace");
            return failure();
        }
    }
    if (!onlyLoopbackExists()) {
        failure() = "the new network namespace has a device besides lo";
        return failure();
    }
    if (!bringLoopbackUp()) {
        failure() = lastError("bringing lo up");
        return failure();
    }
    if (!changeDefaultRoute(SIOCADDRT)) {
        failure() = lastError("adding the default route through lo");
        return failure();
    }
    g_inside = true;
    failure().clear();
    return {};
}

bool insidePrivateNetwork() { return g_inside; }
const std::string& privateNetworkFailure() { return failure(); }

bool addDefaultRouteThroughLoopback() { return g_inside && changeDefaultRoute(SIOCADDRT); }
bool removeDefaultRoute() { return g_inside && changeDefaultRoute(SIOCDELRT); }

} // namespace e2e

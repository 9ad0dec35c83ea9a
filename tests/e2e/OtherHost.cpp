// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2e/OtherHost.h"

#include "support/LoopbackSockets.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sched.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

OtherHost::OtherHost()
{
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0)
        return;
    pid_ = fork();
    if (pid_ == 0) {
        const char made = ::unshare(CLONE_NEWNET) == 0 ? 'y' : 'n';
        (void)!::write(ready[1], &made, 1);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    char made = 'n';
    ok_ = pid_ > 0 && ::read(ready[0], &made, 1) == 1 && made == 'y';
    ::close(ready[0]);
}

OtherHost::~OtherHost()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

bool OtherHost::run(const std::string& command) const
{
    return std::system(("nsenter -t " + std::to_string(pid_) + " -n sh -c '" + command + "'").c_str()) == 0;
}

UniqueFd OtherHost::madeInside(const std::function<UniqueFd()>& make) const
{
    UniqueFd made;
    // A namespace belongs to a thread: a thread of its own enters it, and
    // the socket stays in it after the thread is gone.
    std::thread([&] {
        const int ns = ::open(("/proc/" + std::to_string(pid_) + "/ns/net").c_str(), O_RDONLY | O_CLOEXEC);
        if (ns >= 0 && ::setns(ns, CLONE_NEWNET) == 0)
            made = make();
        if (ns >= 0)
            ::close(ns);
    }).join();
    return made;
}

UniqueFd OtherHost::udpSocketAt(const char* address) const
{
    return madeInside([address] { return boundUdpSocket(address, 0); });
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2e/ChildProgram.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <poll.h>
#include <unistd.h>

std::string readLineWithin(int fd, int timeoutMs)
{
    std::string text;
    QDeadlineTimer deadline(timeoutMs);
    while (text.find('\n') == std::string::npos && !deadline.hasExpired()) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, int(deadline.remainingTime())) <= 0)
            continue;
        char buffer[64];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0)
            break;
        text.append(buffer, size_t(got));
    }
    return text;
}

void stopProgram(QProcess& process)
{
    process.terminate();
    if (!process.waitForFinished(5000))
        process.kill();
    process.waitForFinished(5000);
}

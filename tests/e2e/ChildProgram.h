// SPDX-License-Identifier: GPL-3.0-or-later
// What the end-to-end tests do with a program they start: read the line it
// reports on a pipe, and stop it, every wait bounded.
#pragma once

#include <string>

class QProcess;

// The text read from `fd` until a whole line came or `timeoutMs` ran out.
std::string readLineWithin(int fd, int timeoutMs);
// Asks the program to end, then ends it if it does not (5 s each).
void stopProgram(QProcess& process);

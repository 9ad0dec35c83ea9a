// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2e/ReceiverLog.h"

#include <gtest/gtest.h>

namespace e2e {

std::unique_ptr<ReceiverProcess> startReceiver(const std::string& passcode, const std::string& name,
                                               const std::string& sink, const std::vector<std::string>& further)
{
    std::vector<std::string> arguments{"--passcode", passcode, "--name", name, "--sink", sink};
    arguments.insert(arguments.end(), further.begin(), further.end());
    auto receiver = std::make_unique<ReceiverProcess>(arguments);
    const bool listening = receiver->waitForNotice("session listening on 0.0.0.0:25736").has_value()
                           && receiver->waitForNotice("discovery listening on 0.0.0.0:25736").has_value();
    EXPECT_TRUE(listening) << "quillon-receiver did not start:\n" << receiver->errors();
    return receiver;
}

const std::string kDisconnectLine = R"({"type":"disconnect"})";

std::string keyLine(int state, uint32_t keyCode)
{
    return R"({"type":"keyboard","state":)" + std::to_string(state) + R"(,"keycode":)" + std::to_string(keyCode)
           + "}";
}

std::string mouseLine(int buttons, int dx, int dy)
{
    return R"({"type":"mouse","buttons":)" + std::to_string(buttons) + R"(,"dx":)" + std::to_string(dx)
           + R"(,"dy":)" + std::to_string(dy) + "}";
}

std::string loginLine(bool accepted)
{
    return std::string(R"({"type":"login","accepted":)") + (accepted ? "true" : "false") + "}";
}

std::vector<std::string> nextLines(ReceiverProcess& receiver, std::size_t count)
{
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < count; ++i)
        lines.push_back(receiver.nextOutputLine().value_or("<none>"));
    return lines;
}

bool isConnectLine(const std::string& line)
{
    return line.rfind(R"({"type":"connect","peer":"127.0.0.1:)", 0) == 0;
}

} // namespace e2e

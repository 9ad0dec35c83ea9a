#include "ReceiverLog.h"

namespace e2e {

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

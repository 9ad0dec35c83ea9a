// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/SessionBytes.h"

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes keyboardPacket(uint8_t state, uint32_t keycode)
{
    return {0x01,
            state,
            0x00,
            0x00,
            uint8_t(keycode),
            uint8_t(keycode >> 8),
            uint8_t(keycode >> 16),
            uint8_t(keycode >> 24)};
}

Bytes mousePacket(uint8_t buttons, int16_t dx, int16_t dy)
{
    const auto x = uint16_t(dx);
    const auto y = uint16_t(dy);
    return {0x00, buttons, uint8_t(x), uint8_t(x >> 8), uint8_t(y), uint8_t(y >> 8)};
}

Bytes messagePacket(const Bytes& payload)
{
    const auto length = uint32_t(payload.size());
    return Bytes{0x80, uint8_t(length), uint8_t(length >> 8), uint8_t(length >> 16), uint8_t(length >> 24)}
           + payload;
}

Bytes shortString(const std::string& text)
{
    return Bytes{0x73, uint8_t(text.size())} + Bytes(text.begin(), text.end());
}

Bytes discoveryQuery()
{
    return Bytes{0x5B} + shortString("Device") + shortString("iPhone") + shortString("DeviceVer")
           + shortString("2.1") + shortString("AppName") + shortString("Quillon") + shortString("AppVer")
           + shortString("1.0") + Bytes{0x5D};
}

Bytes loginPayload(const std::string& passcode)
{
    return Bytes{0x5B} + shortString("Cmd") + shortString("Login") + shortString("Passcode")
           + shortString(passcode) + Bytes{0x5D};
}

Bytes loginPacket(const std::string& passcode)
{
    return messagePacket(loginPayload(passcode));
}

Bytes loginReply(int32_t rsp)
{
    const auto r = uint32_t(rsp);
    return Bytes{0x80, 0x0C, 0x00, 0x00, 0x00, 0x5B, 0x73, 0x03, 'R', 's', 'p', 0x69,
                 uint8_t(r), uint8_t(r >> 8), uint8_t(r >> 16), uint8_t(r >> 24), 0x5D};
}

Bytes acceptingLoginReply()
{
    return loginReply(0);
}

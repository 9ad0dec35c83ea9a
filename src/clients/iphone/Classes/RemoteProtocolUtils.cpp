// SPDX-License-Identifier: GPL-3.0-or-later
#include "RemoteProtocolUtils.h"

#include "ComputerSession.h"
#include "RemoteProtocol.h"

#include "platform/Alert.h"

namespace {
const platform::AlertRecord kNoSession{QStringLiteral("Connection Error"),
                                       QStringLiteral("Please, connect to your computer before use the functions."),
                                       QStringLiteral("OK"),
                                       {}};
} // namespace

void RemoteProtocolUtils::checkConnection()
{
    if (remote_is_connected() != 0)
        return;
    ComputerSession::noticeSessionEnded();
    if (!ComputerSession::canReconnect()) {
        platform::Alert::show(kNoSession.title, kNoSession.message, kNoSession.buttonTitle);
        return;
    }
    platform::Alert::show(kNoSession.title, kNoSession.message, kNoSession.buttonTitle, {kReconnectButtonTitle},
                          [](int button) {
                              if (button == 1)
                                  reconnect();
                          });
}

void RemoteProtocolUtils::reconnect()
{
    // An earlier alert's reconnect may have opened it already.
    if (remote_is_connected() != 0)
        return;
    // The login shows what went wrong, or why it did not try.
    ComputerSession::reconnect([] {
        // The same warnings still waiting no longer hold.
        platform::AlertRecord offer = kNoSession;
        offer.otherButtonTitles = QStringList{kReconnectButtonTitle};
        platform::Alert::withdrawWaiting(offer);
    });
}

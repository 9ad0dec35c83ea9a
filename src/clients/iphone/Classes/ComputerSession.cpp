// SPDX-License-Identifier: GPL-3.0-or-later
#include "ComputerSession.h"

#include "NotificationNames.h"
#include "RemoteProtocol.h"
#include "SettingsKeys.h"

#include "platform/Alert.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QCursor>
#include <QGuiApplication>

#include <optional>

namespace {

// The wait cursor while the connect holds the screen.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

struct LastLogin {
    std::shared_ptr<Computer> computer;
    QString passcode;
};

std::optional<LastLogin>& lastLogin()
{
    static std::optional<LastLogin> login;
    return login;
}

// Whether "Session Opened" was posted with no "Session Ended" after it.
bool& sessionAnnounced()
{
    static bool announced = false;
    return announced;
}

} // namespace

int ComputerSession::logIn(const Computer& computer, const QString& passcode)
{
    const QByteArray address = computer.ip().value_or(QString()).toUtf8();
    const QByteArray passcodeText = passcode.toUtf8();
    int result = -1;
    {
        const BusyCursor busy;
        result = remote_connectToHost(address.constData(), unsigned(computer.port().value_or(0)),
                                      passcodeText.constData());
    }
    if (result != 0) {
        // A new connect closes the old session, whatever becomes of the new one.
        noticeSessionEnded();
        return result;
    }
    lastLogin() = LastLogin{std::make_shared<Computer>(computer), passcode};
    platform::UserDefaults& defaults = platform::UserDefaults::standardUserDefaults();
    const QVariantMap stored = computer.encodeWithDictionary();
    if (defaults.dictionaryForKey(settingsKey::kLastComputer) != stored) {
        defaults.setObject(stored, settingsKey::kLastComputer);
        defaults.synchronize();
    }
    sessionAnnounced() = true;
    platform::NotificationCenter::defaultCenter().postNotification(notification::kSessionOpened,
                                                                   computer.computerName().value_or(QString()));
    return result;
}

void ComputerSession::noticeSessionEnded()
{
    if (!sessionAnnounced())
        return;
    sessionAnnounced() = false;
    platform::NotificationCenter::defaultCenter().postNotification(notification::kSessionEnded);
}

void ComputerSession::showLoginFailure(int result)
{
    platform::Alert::show(QStringLiteral("Connection Error"),
                          result == -2 ? QStringLiteral("Invalid Password.")
                                       : QStringLiteral("Please, check firewall setting on your computer."),
                          QStringLiteral("OK"));
}

bool ComputerSession::canReconnect()
{
    return lastLogin().has_value();
}

int ComputerSession::reconnect()
{
    if (!lastLogin())
        return -1;
    // A copy: a successful login replaces what it was read from.
    const LastLogin login = *lastLogin();
    return logIn(*login.computer, login.passcode);
}

void ComputerSession::forgetLogin()
{
    lastLogin().reset();
    sessionAnnounced() = false;
}

std::shared_ptr<Computer> ComputerSession::lastComputer()
{
    const QVariantMap stored = platform::UserDefaults::standardUserDefaults().dictionaryForKey(settingsKey::kLastComputer);
    if (stored.isEmpty())
        return nullptr;
    return Computer::initWithDictionary(stored);
}

bool ComputerSession::connectsAtStart()
{
    return platform::UserDefaults::standardUserDefaults().boolForKey(settingsKey::kConnectAtStart);
}

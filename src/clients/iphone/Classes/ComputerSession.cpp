// SPDX-License-Identifier: GPL-3.0-or-later
#include "ComputerSession.h"

#include "ComputerName.h"
#include "MainViewController.h"
#include "NotificationNames.h"
#include "RemoteProtocol.h"
#include "SettingsKeys.h"

#include "platform/Alert.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QCursor>
#include <QGuiApplication>

#include <sodium.h>

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

platform::UserDefaults& defaults()
{
    return platform::UserDefaults::standardUserDefaults();
}

QString nameOf(const Computer& computer)
{
    return computer.computerName().value_or(QString());
}

QString quoted(const QString& text)
{
    return QStringLiteral("\u201C%1\u201D").arg(text);
}

// The names stored as an array under `key`.
QStringList namesUnder(const QString& key)
{
    QStringList names;
    for (const QVariant& name : defaults().arrayForKey(key))
        names.append(name.toString());
    return names;
}

void setListed(const QString& key, const QString& name, bool listed)
{
    QStringList names = namesUnder(key);
    if (names.contains(name) == listed)
        return;
    if (listed)
        names.append(name);
    else
        names.removeAll(name);
    defaults().setObject(QVariantList(names.begin(), names.end()), key);
    defaults().synchronize();
}

std::optional<QString> pinOf(const QString& name)
{
    const QVariantMap pins = defaults().dictionaryForKey(settingsKey::kSecureComputers);
    const auto pin = pins.constFind(name);
    if (pin == pins.constEnd())
        return std::nullopt;
    return pin->toString();
}

// Connects with the login the computer's mark asks for. The passcode's
// UTF-8 copy is wiped once sent.
int connect(const Computer& computer, const QString& passcode, bool plain)
{
    const QByteArray address = computer.ip().value_or(QString()).toUtf8();
    QByteArray passcodeText = passcode.toUtf8();
    const unsigned port = unsigned(computer.port().value_or(0));
    const BusyCursor busy;
    const int result = plain ? remote_connectToHostPlain(address.constData(), port, passcodeText.constData())
                             : remote_connectToHost(address.constData(), port, passcodeText.constData());
    sodium_memzero(passcodeText.data(), size_t(passcodeText.size()));
    return result;
}

// The receiver proved its name in the handshake: it must be the name pinned
// for the computer, and a computer found by discovery must be the one that
// answered under its name. The first secure login pins the name. When the
// name does not fit, the session is closed and the user told.
bool acceptProvenName(const Computer& computer)
{
    const QString name = nameOf(computer);
    const QString proven = QString::fromUtf8(remote_receiverName());
    const std::optional<QString> pin = pinOf(name);
    const bool fits = (!pin || *pin == proven)
                      && (!computer.discoverd().value_or(false) || cleanComputerName(proven) == name);
    if (!fits) {
        remote_disconnect();
        platform::Alert::show(ComputerSession::kWrongNameTitle,
                              QStringLiteral("The computer at this address answered as %1, not as %2. The session "
                                             "was closed.")
                                  .arg(quoted(cleanComputerName(proven)), quoted(name)),
                              QStringLiteral("OK"));
        return false;
    }
    if (!pin) {
        QVariantMap pins = defaults().dictionaryForKey(settingsKey::kSecureComputers);
        pins.insert(name, proven);
        defaults().setObject(pins, settingsKey::kSecureComputers);
        defaults().synchronize();
    }
    return true;
}

void showConnectionError(const QString& message)
{
    platform::Alert::show(QStringLiteral("Connection Error"), message, QStringLiteral("OK"));
}

// The alert of a failed login. A plain receiver's answer under a pinned name
// warns of an impostor; under another it offers the mark, and then the
// user's tap, never the app, sends the passcode in clear.
void showFailure(int result, const Computer& computer, const QString& passcode, ComputerSession::Origin origin,
                 const std::function<void()>& loggedIn)
{
    const QString name = nameOf(computer);
    if (result == -1) {
        showConnectionError(QStringLiteral("Please, check firewall setting on your computer."));
    } else if (remote_loginFailure() != REMOTE_LOGIN_PLAIN_ONLY) {
        setListed(settingsKey::kNoAutomaticLogin, name, true);
        showConnectionError(QStringLiteral("Invalid Password."));
    } else if (pinOf(name)) {
        platform::Alert::show(ComputerSession::kImpostorTitle,
                              QStringLiteral("%1 logged in securely before, but now answers as a receiver without "
                                             "protection that wants the passcode in clear. Another computer may "
                                             "be posing as it. The passcode was not sent.")
                                  .arg(quoted(name)),
                              QStringLiteral("OK"));
    } else {
        const auto marked = std::make_shared<Computer>(computer);
        platform::Alert::show(
            ComputerSession::kUnprotectedTitle,
            QStringLiteral("%1 speaks only the old login without protection. Mark it as an old receiver, and "
                           "log in, only on a network you trust: the passcode and every key you type will then "
                           "cross the network readable by anyone on it.")
                .arg(quoted(name)),
            QStringLiteral("Cancel"), {ComputerSession::kMarkButtonTitle},
            [marked, passcode, origin, loggedIn](int button) {
                if (button != 1)
                    return;
                ComputerSession::setMarkedPlainOnly(nameOf(*marked), true);
                ComputerSession::logIn(*marked, passcode, origin, loggedIn);
            });
    }
}

} // namespace

int ComputerSession::logIn(const Computer& computer, const QString& passcode, Origin origin,
                           std::function<void()> loggedIn)
{
    const QString name = nameOf(computer);
    // One guess per action of the user: after a refused passcode only the
    // login screen sends one again.
    if (origin != Origin::LoginScreen && !logsInAutomatically(name))
        return kNotTried;

    const bool plain = isMarkedPlainOnly(name);
    int result = connect(computer, passcode, plain);
    if (result == 0 && !plain && !acceptProvenName(computer))
        result = -1; // the user has been told
    else if (result != 0)
        showFailure(result, computer, passcode, origin, loggedIn);
    if (result != 0) {
        // A new connect closes the old session, whatever becomes of the new one.
        noticeSessionEnded();
        return result;
    }

    // Held back, only the login screen's login is tried: its success lifts the hold.
    setListed(settingsKey::kNoAutomaticLogin, name, false);
    lastLogin() = LastLogin{std::make_shared<Computer>(computer), passcode};
    const QVariantMap stored = computer.encodeWithDictionary();
    if (defaults().dictionaryForKey(settingsKey::kLastComputer) != stored) {
        defaults().setObject(stored, settingsKey::kLastComputer);
        defaults().synchronize();
    }
    sessionAnnounced() = true;
    platform::NotificationCenter::defaultCenter().postNotification(notification::kSessionOpened, name);
    if (loggedIn)
        loggedIn();
    return result;
}

void ComputerSession::noticeSessionEnded()
{
    if (!sessionAnnounced())
        return;
    sessionAnnounced() = false;
    platform::NotificationCenter::defaultCenter().postNotification(notification::kSessionEnded);
}

bool ComputerSession::canReconnect()
{
    return lastLogin().has_value();
}

int ComputerSession::reconnect(std::function<void()> loggedIn)
{
    if (!lastLogin())
        return -1;
    // A copy: a successful login replaces what it was read from.
    const LastLogin login = *lastLogin();
    const int result = logIn(*login.computer, login.passcode, Origin::Reconnect, std::move(loggedIn));
    if (result == kNotTried) {
        platform::Alert::show(QStringLiteral("Connection Error"),
                              QStringLiteral("The passcode for %1 was refused at the last login, so it is not sent "
                                             "again on its own. Log in from the list of computers.")
                                  .arg(quoted(nameOf(*login.computer))),
                              QStringLiteral("OK"), {kComputersButtonTitle}, [](int button) {
                                  if (button == 1)
                                      platform::NotificationCenter::defaultCenter().postNotification(
                                          notification::kGotoTabBar, MainViewController::kConnectionTab);
                              });
    }
    return result;
}

void ComputerSession::forgetLogin()
{
    lastLogin().reset();
    sessionAnnounced() = false;
}

std::shared_ptr<Computer> ComputerSession::lastComputer()
{
    const QVariantMap stored = defaults().dictionaryForKey(settingsKey::kLastComputer);
    if (stored.isEmpty())
        return nullptr;
    return Computer::initWithDictionary(stored);
}

bool ComputerSession::connectsAtStart()
{
    return defaults().boolForKey(settingsKey::kConnectAtStart);
}

bool ComputerSession::isMarkedPlainOnly(const QString& name)
{
    return namesUnder(settingsKey::kPlainOnlyComputers).contains(name);
}

void ComputerSession::setMarkedPlainOnly(const QString& name, bool marked)
{
    if (isMarkedPlainOnly(name) == marked)
        return;
    setListed(settingsKey::kPlainOnlyComputers, name, marked);
    platform::NotificationCenter::defaultCenter().postNotification(notification::kPlainOnlyMarkChanged, name);
}

bool ComputerSession::logsInAutomatically(const QString& name)
{
    return !namesUnder(settingsKey::kNoAutomaticLogin).contains(name);
}

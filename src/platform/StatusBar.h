// SPDX-License-Identifier: GPL-3.0-or-later
// The state of the phone's status bar strip: shown or hidden, the
// orientation it is laid out for, the name of what the phone is connected
// to and whether that connection is secure. StatusBarView draws it in the
// window, with the clock and the battery.
#pragma once

#include "platform/InterfaceOrientation.h"
#include "platform/PhoneLook.h"

#include <QObject>
#include <QString>

namespace platform {

class StatusBar : public QObject {
    Q_OBJECT

public:
    static constexpr int kHeight = phone::kStatusBarHeight;

    static StatusBar& shared();

    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden, bool animated);
    InterfaceOrientation orientation() const { return orientation_; }
    void setOrientation(InterfaceOrientation orientation, bool animated);

    // What the phone is connected to, shown at the strip's left; empty: nothing.
    const QString& connectionName() const { return connectionName_; }
    void setConnectionName(const QString& name);
    // The connection is encrypted: a lock is shown by its name.
    bool isSessionSecure() const { return sessionSecure_; }
    void setSessionSecure(bool secure);

signals:
    void hiddenChanged(bool hidden, bool animated);
    void orientationChanged(platform::InterfaceOrientation orientation, bool animated);
    // The name or the lock changed.
    void connectionChanged();

private:
    StatusBar() = default;

    bool hidden_ = false;
    InterfaceOrientation orientation_ = InterfaceOrientation::Portrait;
    QString connectionName_;
    bool sessionSecure_ = false;
};

} // namespace platform

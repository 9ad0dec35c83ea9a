// SPDX-License-Identifier: GPL-3.0-or-later
// The state of the phone's status bar strip: shown or hidden, and the
// orientation it is laid out for. StatusBarView draws it in the window.
#pragma once

#include "platform/InterfaceOrientation.h"
#include "platform/PhoneLook.h"

#include <QObject>

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

signals:
    void hiddenChanged(bool hidden, bool animated);
    void orientationChanged(platform::InterfaceOrientation orientation, bool animated);

private:
    StatusBar() = default;

    bool hidden_ = false;
    InterfaceOrientation orientation_ = InterfaceOrientation::Portrait;
};

} // namespace platform

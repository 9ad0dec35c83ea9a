// PhoneWindow: the phone's screen as a desktop window. 320 x 480 points with
// the 20-point status bar strip along its top; turned to landscape it takes
// the shape 480 x 320, which on a desktop is what turning the phone means.
// The turn is also reported to the platform as the content orientation, so
// that a touch device can follow it.
#pragma once

#include "platform/PhoneLook.h"

#include <QWidget>

namespace platform {
class StatusBarView;
}

class PhoneWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int kShortSide = platform::phone::kScreenWidth;
    static constexpr int kLongSide = platform::phone::kScreenHeight;

    explicit PhoneWindow(QWidget* parent = nullptr);

    platform::StatusBarView* statusBarView() const { return statusBarView_; }

    bool isLandscape() const { return landscape_; }
    void setLandscape(bool landscape);

    // The area below the status bar strip, where the main view lives.
    QRect contentFrame() const;

    // Shows the window, activates it and makes it the host of alerts.
    void makeKeyAndVisible();

private:
    void applyShape();

    platform::StatusBarView* statusBarView_;
    bool landscape_ = false;
};

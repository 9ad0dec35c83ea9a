// SPDX-License-Identifier: GPL-3.0-or-later
// PhoneWindow: the phone's screen as a desktop window. 320 x 480 points with
// the 20-point status bar strip along its top; turned to landscape it takes
// the shape 480 x 320, which on a desktop is what turning the phone means.
// On a phone the window fills the screen instead (WindowScale makes the
// design as wide as the screen): the status bar spans its top, the main view
// takes the design's width and everything below the strip, and in landscape
// the whole long side. There a PhoneWindowHost puts it on the screen, and
// turns it a quarter while it is landscape on a screen that stays upright.
// Whenever the window is drawn larger than one pixel a point, a host draws
// it at its scale, on a phone and on a desktop alike.
// The turn is not reported to the window system as a content orientation:
// what reaches the screen is always drawn for the screen as it stands, and a
// Wayland compositor would take that report as a buffer it must turn itself.
#pragma once

#include "platform/PhoneLook.h"

#include <QWidget>

class PhoneWindowHost;

namespace platform {
class StatusBarView;
}

class PhoneWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int kShortSide = platform::phone::kScreenWidth;
    static constexpr int kLongSide = platform::phone::kScreenHeight;

    explicit PhoneWindow(QWidget* parent = nullptr);
    ~PhoneWindow() override;

    platform::StatusBarView* statusBarView() const { return statusBarView_; }

    bool isLandscape() const { return landscape_; }
    void setLandscape(bool landscape);

    // Whole screen (phone) or fixed shape (desktop), and the screen pixels
    // a point is drawn as; set once, before it is shown.
    bool fillsScreen() const { return fillsScreen_; }
    double scale() const { return scale_; }
    void setPlacement(bool fillsScreen, double scale);
    // What the window system shows: the host on a phone or at a scale, else
    // this window.
    QWidget* screenWindow();
    PhoneWindowHost* host() const { return host_; }

    // The area below the status bar strip, where the main view lives.
    QRect contentFrame() const;
    // Where the main view lives while it spans the strip too (landscape).
    QRect screenFrame() const;

    // Shows the window, activates it and makes it the host of alerts.
    void makeKeyAndVisible();

private:
    void applyShape();

    platform::StatusBarView* statusBarView_;
    PhoneWindowHost* host_ = nullptr;
    bool landscape_ = false;
    bool fillsScreen_ = false;
    double scale_ = 1.0;
};

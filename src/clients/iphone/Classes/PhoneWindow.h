// PhoneWindow: the phone's screen as a desktop window. 320 x 480 points with
// the 20-point status bar strip along its top; turned to landscape it takes
// the shape 480 x 320, which on a desktop is what turning the phone means.
// The turn is also reported to the platform as the content orientation, so
// that a touch device can follow it.
// On a phone the window fills the screen instead (WindowScale makes the
// design as wide as the screen): the status bar spans its top, the main view
// takes the design's width and everything below the strip.
#pragma once

#include <QWidget>

namespace platform {
class StatusBarView;
}

class PhoneWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int kShortSide = 320;
    static constexpr int kLongSide = 480;

    explicit PhoneWindow(QWidget* parent = nullptr);

    platform::StatusBarView* statusBarView() const { return statusBarView_; }

    bool isLandscape() const { return landscape_; }
    void setLandscape(bool landscape);

    // Whole screen (phone) or fixed shape (desktop); set before it is shown.
    bool fillsScreen() const { return fillsScreen_; }
    void setFillsScreen(bool fills);

    // The area below the status bar strip, where the main view lives.
    QRect contentFrame() const;
    // Where the main view lives while it spans the strip too (landscape).
    QRect screenFrame() const;

    // Shows the window, activates it and makes it the host of alerts.
    void makeKeyAndVisible();

private:
    void applyShape();

    platform::StatusBarView* statusBarView_;
    bool landscape_ = false;
    bool fillsScreen_ = false;
};

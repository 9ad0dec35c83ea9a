// SPDX-License-Identifier: GPL-3.0-or-later
// PhoneWindowHost: the real screen that a full-screen PhoneWindow is drawn
// on. The phone's screen is drawn upright; while it is turned to landscape
// (the keyboard) on a real screen that stays upright, as a phone held upright
// without automatic rotation does, it is drawn turned a quarter clockwise so
// that it fills the screen the long way, and the user turns the phone.
//
// The PhoneWindow stays the window of every screen: it is embedded in a
// graphics scene (QGraphicsProxyWidget), which carries touches, the mouse,
// its grab and the keyboard focus to its widgets through the turn, and maps
// their global positions back, so that tap counts and touch locations are
// the same as in an upright window.
#pragma once

#include <QGraphicsScene>
#include <QGraphicsView>

class PhoneWindow;
class QGraphicsProxyWidget;

class PhoneWindowHost : public QGraphicsView {
    Q_OBJECT

public:
    // Embeds `window`, a top-level widget not yet shown; it stays embedded
    // until the host goes (unembedded, not deleted).
    explicit PhoneWindowHost(PhoneWindow* window);
    ~PhoneWindowHost() override;

    // Drawn turned a quarter now.
    bool isTurned() const { return turned_; }
    // Lays the phone's screen out again after it changed orientation.
    void follow();
    // Where a point of the phone's window lies on the host (its own points).
    QPointF mapFromPhone(const QPointF& point) const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    PhoneWindow* window_;
    QGraphicsScene scene_;
    QGraphicsProxyWidget* proxy_;
    bool turned_ = false;
};

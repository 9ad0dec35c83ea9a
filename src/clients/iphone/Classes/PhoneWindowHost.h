// SPDX-License-Identifier: GPL-3.0-or-later
// PhoneWindowHost: the real window a PhoneWindow is drawn in, at its scale.
// The phone's screen is laid out in points; the host draws each point as
// `scale` pixels of the screen, through Qt's public graphics view, so the
// program depends on no one Qt build.
//
// On a phone (the window fills the screen) the phone's screen is drawn
// upright; while it is turned to landscape (the keyboard) on a real screen
// that stays upright, as a phone held upright without automatic rotation
// does, it is drawn turned a quarter clockwise so that it fills the screen
// the long way, and the user turns the phone. On a desktop the host is a
// window of the phone's shape, `scale` times its size in points.
//
// The PhoneWindow stays the window of every screen: it is embedded in a
// graphics scene (QGraphicsProxyWidget), which carries touches, the mouse,
// its grab and the keyboard focus to its widgets through the turn and the
// scale, and maps their global positions back, so that tap counts and touch
// locations are the same, in points, as in an upright window.
#pragma once

#include <QGraphicsScene>
#include <QGraphicsView>

class PhoneWindow;
class QGraphicsProxyWidget;

class PhoneWindowHost : public QGraphicsView {
    Q_OBJECT

public:
    // Embeds `window`, a top-level widget not yet shown; it stays embedded
    // until the host goes (unembedded, not deleted). `scale`: screen pixels
    // per point, above 0.
    PhoneWindowHost(PhoneWindow* window, double scale);
    ~PhoneWindowHost() override;

    double scale() const { return scale_; }
    // Drawn turned a quarter now.
    bool isTurned() const { return turned_; }
    // Lays the phone's screen out again after it changed orientation or shape.
    void follow();
    // Where a point of the phone's window lies on the host (its pixels).
    QPointF mapFromPhone(const QPointF& point) const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    PhoneWindow* window_;
    QGraphicsScene scene_;
    QGraphicsProxyWidget* proxy_;
    double scale_;
    bool turned_ = false;
};

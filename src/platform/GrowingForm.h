// SPDX-License-Identifier: GPL-3.0-or-later
// A screen's form, laid out for the phone's design size, growing into a
// larger screen: a phone taller than the design, a landscape screen longer
// than it. The form says how each widget follows a taller parent with the
// dynamic property "followsHeight": "stretch" takes all of the extra height,
// "bottom" moves down by it, "middle" by half of it; a widget without the
// property keeps its place and height. Where a taller screen should also
// close up a margin of the design, the integer property "tallerBonus" gives
// the points a widget takes (or moves) beyond the extra height, once there
// is any. Widths either stay as laid out or grow in proportion to the
// parent's width (a keyboard's keys). At the design size every widget lies
// exactly where the form put it.
#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <vector>

namespace platform {

class GrowingForm : public QObject {
    Q_OBJECT

public:
    static constexpr const char* kHeightProperty = "followsHeight";
    static constexpr const char* kBonusProperty = "tallerBonus";
    enum class Widths { Kept, Proportional };

    // Takes the form's widgets as laid out now as the design and follows
    // the form's size from then on. Owned by the form.
    explicit GrowingForm(QWidget* form, Widths widths = Widths::Kept);

    // Lays the widgets out for the form's size now.
    void layOut();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Follow { Stays, Stretches, Bottom, Middle };
    struct Placed {
        QPointer<QWidget> widget;
        QRect design;
        Follow follow = Follow::Stays;
        int bonus = 0;
        int parent = -1; // index of the parent among the placed widgets; -1: the form
    };

    static Follow followOf(const QWidget& widget);

    QWidget* form_;
    QSize design_;
    Widths widths_;
    std::vector<Placed> placed_;
    bool layingOut_ = false;
};

} // namespace platform

// SPDX-License-Identifier: GPL-3.0-or-later
// Animated changes of a view's frame and alpha, gathered and then committed
// together, as the screens animate: 0.3 seconds unless they say otherwise.
//
//     ViewAnimation animation;            // 0.3 s
//     animation.setFrame(view, frame);
//     animation.setAlpha(tabBar, 1.0);
//     animation.commit();
#pragma once

#include <QPointer>
#include <QRect>
#include <QWidget>
#include <functional>
#include <vector>

namespace platform {

class ViewAnimation {
public:
    static constexpr double kDefaultDuration = 0.3;

    explicit ViewAnimation(double durationSeconds = kDefaultDuration);

    // A new change of a view's frame or alpha starts from where an earlier,
    // unfinished animation of the same property has got to.
    ViewAnimation& setFrame(QWidget* view, const QRect& frame);
    ViewAnimation& setAlpha(QWidget* view, qreal alpha);
    ViewAnimation& whenFinished(std::function<void()> callback);
    void commit();

    // Off: every change lands at once (tests and screenshots).
    static void setAnimationsEnabled(bool enabled);
    static bool animationsEnabled();
    // Jumps every running animation to its end.
    static void finishAll();

    // A widget's alpha (1 when it has none), set at once.
    static qreal alpha(const QWidget* view);
    static void applyAlpha(QWidget* view, qreal alpha);

private:
    struct Change {
        QPointer<QWidget> view;
        bool isFrame = true;
        QRect frame;
        qreal alpha = 1;
    };
    double duration_;
    std::vector<Change> changes_;
    std::function<void()> finished_;
};

} // namespace platform

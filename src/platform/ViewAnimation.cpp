// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ViewAnimation.h"

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>
#include <memory>

namespace platform {

namespace {
bool gEnabled = true;

const char* kFrameName = "platform.frame";
const char* kAlphaName = "platform.alpha";

QGraphicsOpacityEffect* opacityEffect(QWidget* view)
{
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(view->graphicsEffect());
    if (!effect) {
        effect = new QGraphicsOpacityEffect(view);
        effect->setOpacity(1);
        view->setGraphicsEffect(effect);
    }
    return effect;
}

void stopRunning(QObject* owner, const char* name)
{
    for (auto* running : owner->findChildren<QPropertyAnimation*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly)) {
        running->stop(); // deletes itself: every animation here is DeleteWhenStopped
    }
}
} // namespace

ViewAnimation::ViewAnimation(double durationSeconds) : duration_(durationSeconds) {}

ViewAnimation& ViewAnimation::setFrame(QWidget* view, const QRect& frame)
{
    if (view)
        changes_.push_back({view, true, frame, 1});
    return *this;
}

ViewAnimation& ViewAnimation::setAlpha(QWidget* view, qreal alpha)
{
    if (view)
        changes_.push_back({view, false, {}, qBound<qreal>(0, alpha, 1)});
    return *this;
}

ViewAnimation& ViewAnimation::whenFinished(std::function<void()> callback)
{
    finished_ = std::move(callback);
    return *this;
}

void ViewAnimation::setAnimationsEnabled(bool enabled)
{
    gEnabled = enabled;
}

bool ViewAnimation::animationsEnabled()
{
    return gEnabled;
}

qreal ViewAnimation::alpha(const QWidget* view)
{
    auto* effect = view ? qobject_cast<QGraphicsOpacityEffect*>(view->graphicsEffect()) : nullptr;
    return effect ? effect->opacity() : 1.0;
}

void ViewAnimation::applyAlpha(QWidget* view, qreal alpha)
{
    if (!view)
        return;
    if (auto* effect = qobject_cast<QGraphicsOpacityEffect*>(view->graphicsEffect()))
        stopRunning(effect, kAlphaName);
    if (alpha >= 1) {
        // A fully opaque view draws faster without an effect.
        if (qobject_cast<QGraphicsOpacityEffect*>(view->graphicsEffect()))
            view->setGraphicsEffect(nullptr);
        return;
    }
    opacityEffect(view)->setOpacity(qMax<qreal>(alpha, 0));
}

void ViewAnimation::finishAll()
{
    for (QWidget* widget : QApplication::allWidgets()) {
        for (auto* animation : widget->findChildren<QPropertyAnimation*>(QString(), Qt::FindDirectChildrenOnly))
            if (animation->state() == QAbstractAnimation::Running)
                animation->setCurrentTime(animation->totalDuration());
        if (auto* effect = qobject_cast<QGraphicsOpacityEffect*>(widget->graphicsEffect()))
            for (auto* animation : effect->findChildren<QPropertyAnimation*>(QString(), Qt::FindDirectChildrenOnly))
                if (animation->state() == QAbstractAnimation::Running)
                    animation->setCurrentTime(animation->totalDuration());
    }
}

void ViewAnimation::commit()
{
    std::vector<Change> changes;
    changes.swap(changes_);
    auto finished = std::move(finished_);
    finished_ = nullptr;

    const int durationMs = int(duration_ * 1000 + 0.5);
    if (!gEnabled || durationMs <= 0) {
        for (const Change& change : changes) {
            if (!change.view)
                continue;
            if (change.isFrame) {
                stopRunning(change.view, kFrameName);
                change.view->setGeometry(change.frame);
            } else {
                applyAlpha(change.view, change.alpha);
            }
        }
        if (finished)
            finished();
        return;
    }

    // The callback runs once, when the last of the animations has ended.
    auto remaining = std::make_shared<int>(int(changes.size()));
    auto onEnd = [remaining, finished]() {
        if (--*remaining == 0 && finished)
            finished();
    };
    if (changes.empty() && finished)
        finished();
    for (const Change& change : changes) {
        if (!change.view) {
            onEnd();
            continue;
        }
        QPropertyAnimation* animation = nullptr;
        if (change.isFrame) {
            stopRunning(change.view, kFrameName);
            animation = new QPropertyAnimation(change.view, "geometry", change.view);
            animation->setObjectName(QString::fromLatin1(kFrameName));
            animation->setEndValue(change.frame);
        } else {
            QGraphicsOpacityEffect* effect = opacityEffect(change.view);
            stopRunning(effect, kAlphaName);
            animation = new QPropertyAnimation(effect, "opacity", effect);
            animation->setObjectName(QString::fromLatin1(kAlphaName));
            animation->setEndValue(change.alpha);
            const qreal target = change.alpha;
            QPointer<QWidget> view = change.view;
            QObject::connect(animation, &QPropertyAnimation::finished, [view, target] {
                if (view && target >= 1)
                    view->setGraphicsEffect(nullptr);
            });
        }
        animation->setDuration(durationMs);
        animation->setEasingCurve(QEasingCurve::InOutQuad);
        // Counted once: when it ends, or when a newer animation replaces it.
        auto counted = std::make_shared<bool>(false);
        auto endOnce = [counted, onEnd] {
            if (!*counted) {
                *counted = true;
                onEnd();
            }
        };
        QObject::connect(animation, &QPropertyAnimation::finished, endOnce);
        QObject::connect(animation, &QObject::destroyed, endOnce);
        animation->start(QAbstractAnimation::DeleteWhenStopped);
    }
}

} // namespace platform

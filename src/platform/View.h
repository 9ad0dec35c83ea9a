// SPDX-License-Identifier: GPL-3.0-or-later
// A widget that receives touches the phone's way: every finger is its own
// Touch, delivered to the view it came down on through touchesBegan, Moved,
// Ended and Cancelled. Real touch screens deliver QTouchEvents; a mouse acts
// as one finger.
#pragma once

#include "platform/Event.h"

#include <QSet>
#include <QTouchEvent>
#include <QWidget>

namespace platform {

class View : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int tag READ tag WRITE setTag)
    Q_PROPERTY(bool multipleTouchEnabled READ isMultipleTouchEnabled WRITE setMultipleTouchEnabled)

public:
    explicit View(QWidget* parent = nullptr);
    ~View() override;

    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }

    // Off by default: a view then follows only its first finger and ignores
    // any other finger that comes down on it meanwhile.
    bool isMultipleTouchEnabled() const { return multipleTouchEnabled_; }
    void setMultipleTouchEnabled(bool enabled) { multipleTouchEnabled_ = enabled; }

    // Called once after the view was created from an interface file and all
    // of that file's properties were set.
    virtual void awakeFromNib() {}

    // Ends the touches this view is following, as the system does when a
    // view goes away under a finger.
    void cancelTouches();

    virtual void touchesBegan(const TouchSet& touches, Event* event);
    virtual void touchesMoved(const TouchSet& touches, Event* event);
    virtual void touchesEnded(const TouchSet& touches, Event* event);
    virtual void touchesCancelled(const TouchSet& touches, Event* event);

    // Calls awakeFromNib on every View inside `root`, in creation order.
    static void awakeAllFromNib(QWidget* root);

protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void handleTouchEvent(QTouchEvent* event);
    void beginMouseTouch(QMouseEvent* event, bool repeatsLastTap);
    void deliver(const QList<Touch*>& began, const QList<Touch*>& moved, const QList<Touch*>& ended);
    void deliver(const TouchSet& began, const TouchSet& moved, const TouchSet& ended, qint64 nowMs);

    QSet<quint64> keys_;        // fingers this view follows
    QSet<quint64> ignoredKeys_; // extra fingers while multiple touch is off
    int tag_ = 0;
    bool multipleTouchEnabled_ = false;
};

} // namespace platform

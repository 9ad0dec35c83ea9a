// SPDX-License-Identifier: GPL-3.0-or-later
#include "PhoneWindowHost.h"

#include "PhoneWindow.h"

#include "platform/Theme.h"

#include <QGraphicsProxyWidget>

#include <cmath>

PhoneWindowHost::PhoneWindowHost(PhoneWindow* window, double scale) : window_(window), scale_(scale)
{
    setObjectName(QStringLiteral("PhoneWindowHost"));
    setWindowTitle(window->windowTitle());
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setBackgroundBrush(platform::theme::groupedBackground());
    // The widgets draw their own pictures in points; scaled up, those are
    // smoothed rather than blocky.
    setRenderHint(QPainter::SmoothPixmapTransform);
    setTransform(QTransform::fromScale(scale_, scale_));
    // Every finger is its own touch here too: the scene hands the touches on
    // to the phone's views, which track them.
    viewport()->setAttribute(Qt::WA_AcceptTouchEvents);
    setScene(&scene_);
    proxy_ = scene_.addWidget(window);
    proxy_->setAcceptTouchEvents(true);
    follow();
}

PhoneWindowHost::~PhoneWindowHost()
{
    // The window belongs to whoever made it: the scene must not delete it.
    proxy_->setWidget(nullptr);
}

void PhoneWindowHost::follow()
{
    if (!window_->fillsScreen()) {
        // A window of the phone's shape: the host takes it, scaled.
        const QSize points = window_->size();
        turned_ = false;
        proxy_->setRotation(0);
        proxy_->setPos(QPointF());
        setFixedSize(int(std::lround(points.width() * scale_)), int(std::lround(points.height() * scale_)));
        scene_.setSceneRect(QRectF(QPointF(), QSizeF(points)));
        return;
    }
    // The screen in points.
    const QSizeF screen = QSizeF(viewport()->size()) / scale_;
    turned_ = window_->isLandscape() && screen.height() > screen.width();
    // Turned a quarter clockwise about its top-left corner and moved right by
    // the screen's width, the landscape window's top edge runs down the
    // screen's right edge: a window point (x, y) lies at (width - y, x).
    proxy_->setRotation(turned_ ? 90 : 0);
    proxy_->setPos(turned_ ? QPointF(screen.width(), 0) : QPointF());
    proxy_->resize(turned_ ? screen.transposed() : screen);
    scene_.setSceneRect(QRectF(QPointF(), screen));
}

QPointF PhoneWindowHost::mapFromPhone(const QPointF& point) const
{
    return viewportTransform().map(proxy_->mapToScene(point));
}

void PhoneWindowHost::resizeEvent(QResizeEvent* event)
{
    QGraphicsView::resizeEvent(event);
    if (window_->fillsScreen())
        follow();
}

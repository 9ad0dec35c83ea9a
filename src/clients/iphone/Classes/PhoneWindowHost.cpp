// SPDX-License-Identifier: GPL-3.0-or-later
#include "PhoneWindowHost.h"

#include "PhoneWindow.h"

#include "platform/Theme.h"

#include <QGraphicsProxyWidget>

PhoneWindowHost::PhoneWindowHost(PhoneWindow* window) : window_(window)
{
    setObjectName(QStringLiteral("PhoneWindowHost"));
    setWindowTitle(window->windowTitle());
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setBackgroundBrush(platform::theme::groupedBackground());
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
    const QSize screen = viewport()->size();
    turned_ = window_->isLandscape() && screen.height() > screen.width();
    // Turned a quarter clockwise about its top-left corner and moved right by
    // the screen's width, the landscape window's top edge runs down the
    // screen's right edge: a window point (x, y) lies at (width - y, x).
    proxy_->setRotation(turned_ ? 90 : 0);
    proxy_->setPos(turned_ ? QPointF(screen.width(), 0) : QPointF());
    proxy_->resize(turned_ ? screen.transposed() : screen);
    scene_.setSceneRect(QRectF(QPointF(), QSizeF(screen)));
}

void PhoneWindowHost::resizeEvent(QResizeEvent* event)
{
    QGraphicsView::resizeEvent(event);
    follow();
}

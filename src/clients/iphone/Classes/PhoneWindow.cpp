// SPDX-License-Identifier: GPL-3.0-or-later
#include "PhoneWindow.h"

#include "PhoneWindowHost.h"

#include "platform/Alert.h"
#include "platform/StatusBar.h"
#include "platform/StatusBarView.h"
#include "platform/Theme.h"

#include <QScreen>

#include <algorithm>

PhoneWindow::PhoneWindow(QWidget* parent) : QWidget(parent), statusBarView_(new platform::StatusBarView(this))
{
    setWindowTitle(QStringLiteral("Quillon"));
    setObjectName(QStringLiteral("PhoneWindow"));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, platform::theme::groupedBackground());
    setPalette(palette);
    applyShape();
}

PhoneWindow::~PhoneWindow()
{
    delete host_; // lets this window go out of its scene first
}

QWidget* PhoneWindow::screenWindow()
{
    return host_ ? static_cast<QWidget*>(host_) : this;
}

QRect PhoneWindow::contentFrame() const
{
    const int bar = platform::StatusBar::kHeight;
    if (!fillsScreen_)
        return QRect(0, bar, width(), height() - bar);
    // The design's width, in the middle of a screen wider than it.
    const int x = std::max(0, (width() - kShortSide) / 2);
    return QRect(x, bar, std::min(width(), kShortSide), height() - bar);
}

QRect PhoneWindow::screenFrame() const
{
    // Landscape takes the whole long side, however long the phone is.
    if (!fillsScreen_ || landscape_)
        return rect();
    return QRect(std::max(0, (width() - kShortSide) / 2), 0, std::min(width(), kShortSide), height());
}

void PhoneWindow::setPlacement(bool fillsScreen, double scale)
{
    if (!(scale > 0))
        scale = 1.0;
    if (fillsScreen_ == fillsScreen && scale_ == scale)
        return;
    delete host_;
    host_ = nullptr;
    fillsScreen_ = fillsScreen;
    scale_ = scale;
    applyShape();
    if (fillsScreen_ || scale_ != 1.0)
        host_ = new PhoneWindowHost(this, scale_);
}

void PhoneWindow::setLandscape(bool landscape)
{
    if (landscape_ == landscape)
        return;
    landscape_ = landscape;
    applyShape();
}

void PhoneWindow::applyShape()
{
    if (fillsScreen_) {
        // The screen decides the size; the screens keep their points.
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    } else if (landscape_) {
        // A fixed shape: the screens are laid out for exactly these points.
        setFixedSize(kLongSide, kShortSide);
    } else {
        setFixedSize(kShortSide, kLongSide);
    }
    if (host_)
        host_->follow();
}

void PhoneWindow::makeKeyAndVisible()
{
    QWidget* onScreen = screenWindow();
    if (fillsScreen_) {
        // Without a window manager (a bare X server) the full-screen state
        // alone would not size the window.
        if (const QScreen* screen = onScreen->screen())
            onScreen->setGeometry(screen->geometry());
        onScreen->showFullScreen();
    } else {
        onScreen->show();
    }
    onScreen->raise();
    onScreen->activateWindow();
    platform::Alert::setHostWindow(this);
}

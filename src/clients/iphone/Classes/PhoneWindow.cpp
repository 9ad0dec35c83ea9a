#include "PhoneWindow.h"

#include "platform/Alert.h"
#include "platform/StatusBar.h"
#include "platform/StatusBarView.h"
#include "platform/Theme.h"

#include <QWindow>

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

QRect PhoneWindow::contentFrame() const
{
    const int bar = platform::StatusBar::kHeight;
    return QRect(0, bar, width(), height() - bar);
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
    // A fixed shape: the screens are laid out for exactly these points.
    if (landscape_)
        setFixedSize(kLongSide, kShortSide);
    else
        setFixedSize(kShortSide, kLongSide);
    if (QWindow* handle = windowHandle())
        handle->reportContentOrientationChange(landscape_ ? Qt::LandscapeOrientation : Qt::PortraitOrientation);
}

void PhoneWindow::makeKeyAndVisible()
{
    show();
    raise();
    activateWindow();
    applyShape(); // the native window exists now: report the orientation to it too
    platform::Alert::setHostWindow(this);
}

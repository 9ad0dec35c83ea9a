// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the remote panel offscreen as the phone shows it, under the status
// bar: at rest, and with a finger swiping on the arrow pad. With
// QUILLON_SCREENSHOT_DIR set the pictures are written there as PNG files
// (docs/screenshots holds the committed ones).
#include "RemoteViewController.h"

#include "platform/Alert.h"
#include "platform/Button.h"
#include "support/platform/FingerSimulator.h"
#include "support/platform/ManualClock.h"
#include "platform/StatusBar.h"
#include "platform/StatusBarView.h"
#include "platform/Theme.h"
#include "platform/ViewAnimation.h"

#include <QDir>
#include <QImage>
#include <gtest/gtest.h>

using namespace platform;

namespace {

QImage shoot(QWidget& window, const char* name)
{
    const QImage image = window.grab().toImage();
    const QString dir = qEnvironmentVariable("QUILLON_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        image.save(QDir(dir).filePath(QStringLiteral("remote-%1.png").arg(QLatin1String(name))));
    return image;
}

QColor colourAt(const QImage& image, QWidget* widget, QPoint inWidget)
{
    // The picture may have more than one pixel per point (a scaled screen).
    return image.pixelColor(widget->mapTo(widget->window(), inWidget) * image.devicePixelRatio());
}

} // namespace

TEST(RemoteScreenshots, ThePanelAtRestAndWhileItsArrowPadIsTouched)
{
    ScopedManualClock clock;
    ViewAnimation::setAnimationsEnabled(false);
    StatusBar::shared().setHidden(false, false);
    QWidget window;
    window.resize(320, 480);
    RemoteViewController remote;
    remote.view()->setParent(&window);
    remote.view()->setGeometry(0, 20, 320, 460);
    auto* strip = new StatusBarView(&window);
    strip->setClockText("9:41");
    window.show();
    remote.viewWillAppear(false);
    strip->raise();

    const QImage rest = shoot(window, "panel");
    ASSERT_EQ(rest.size() / rest.devicePixelRatio(), QSize(320, 480));
    // The drawn surfaces are in place: the panel's background around the
    // white pads, the red power glyph on its key.
    EXPECT_EQ(colourAt(rest, remote.view(), {4, 200}), theme::groupedBackground());
    EXPECT_EQ(colourAt(rest, remote.arrowPad(), {50, 98}), QColor(Qt::white));
    EXPECT_EQ(colourAt(rest, remote.pagePad(), {42, 150}), QColor(Qt::white));
    const QColor power = colourAt(rest, remote.buttonPower(), {20, 28});
    EXPECT_GT(power.red(), 200);
    EXPECT_LT(power.green(), 120);

    FingerSimulator fingers;
    fingers.press(0, remote.arrowPad(), {40, 150});
    fingers.move(0, remote.arrowPad(), {90, 150});
    const QImage touched = shoot(window, "arrow-pad-touched");
    EXPECT_NE(colourAt(touched, remote.arrowPad(), {50, 98}), QColor(Qt::white)); // the pressed surface
    fingers.release(0, remote.arrowPad(), {90, 150});
    Alert::dismissAll(); // the lift warned that no computer is connected
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Buttons: what each state shows, how combined states fall back, images read
// from files when first drawn, the pressed look while a finger is on the
// button, and the tag.
#include "platform/Button.h"
#include "support/platform/FingerSimulator.h"

#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace platform;

namespace {

QPixmap solid(const QColor& color)
{
    QPixmap pixmap(8, 8);
    pixmap.fill(color);
    return pixmap;
}

QColor centreOf(QWidget* widget)
{
    return widget->grab().toImage().pixelColor(widget->width() / 2, 2);
}

TEST(ButtonTest, EachStateShowsItsOwnTitleOrFallsBack)
{
    Button button;
    button.setTitle("1");
    button.setTitle("!", ControlStateSelected);
    button.setTitle("pressed", ControlStateHighlighted);
    EXPECT_EQ(button.currentTitle(), "1");
    EXPECT_EQ(button.titleForState(ControlStateDisabled), "1"); // nothing set: the normal title
    button.setSelected(true);
    EXPECT_EQ(button.currentTitle(), "!");
    // Selected and highlighted together, with nothing set for the pair: the selected title.
    button.setHighlighted(true);
    EXPECT_EQ(button.currentTitle(), "!");
    button.setTitle("both", ControlStateSelected | ControlStateHighlighted);
    EXPECT_EQ(button.currentTitle(), "both");
    button.setSelected(false);
    EXPECT_EQ(button.currentTitle(), "pressed");
    button.setHighlighted(false);
    button.setEnabled(false);
    button.setTitle("off", ControlStateDisabled);
    EXPECT_EQ(button.currentTitle(), "off");
}

TEST(ButtonTest, ImagesAndBackgroundsFollowTheStateAndArePainted)
{
    QWidget window;
    auto* button = new Button(Button::Custom, &window);
    button->setGeometry(10, 10, 80, 40);
    button->setBackgroundImage(solid(Qt::red));
    button->setBackgroundImage(solid(Qt::blue), ControlStateHighlighted);
    button->setImage(solid(Qt::green), ControlStateSelected);
    window.show();

    EXPECT_EQ(centreOf(button), QColor(Qt::red));
    FingerSimulator fingers;
    fingers.press(0, button, {40, 20});
    EXPECT_TRUE(button->isHighlighted());
    EXPECT_EQ(centreOf(button), QColor(Qt::blue));
    fingers.release(0, button, {40, 20});
    EXPECT_FALSE(button->isHighlighted());
    EXPECT_TRUE(button->imageForState(ControlStateNormal).isNull());
    button->setSelected(true);
    EXPECT_FALSE(button->currentImage().isNull());
}

TEST(ButtonTest, AnImageFromAFileIsReadWhenTheButtonIsFirstDrawnAndOnlyOnce)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("pad.png");
    ASSERT_TRUE(solid(Qt::red).save(path));
    QWidget window;
    auto* button = new Button(Button::Custom, &window);
    button->setGeometry(10, 10, 80, 40);
    button->setBackgroundImage(Image::fromFile(path, 2));
    // Not read yet: what the file holds when the button is first drawn counts.
    ASSERT_TRUE(solid(Qt::blue).save(path));
    window.show();
    EXPECT_EQ(centreOf(button), QColor(Qt::blue));
    const QPixmap read = button->currentBackgroundImage();
    EXPECT_EQ(read.devicePixelRatio(), 2);
    EXPECT_EQ(read.deviceIndependentSize(), QSizeF(4, 4));
    // Read once: a later change of the file is not seen.
    ASSERT_TRUE(solid(Qt::green).save(path));
    button->update();
    EXPECT_EQ(centreOf(button), QColor(Qt::blue));

    // A file that cannot be read gives no image.
    button->setBackgroundImage(Image::fromFile(dir.filePath("missing.png"), 2), ControlStateHighlighted);
    EXPECT_TRUE(button->backgroundImageForState(ControlStateHighlighted).isNull());
}

TEST(ButtonTest, ATouchedButtonWithoutAHighlightedLookIsDarkened)
{
    QWidget window;
    auto* button = new Button(Button::Custom, &window);
    button->setGeometry(0, 0, 80, 40);
    button->setBackgroundImage(solid(QColor(200, 200, 200)));
    window.show();
    const QColor normal = centreOf(button);
    button->setHighlighted(true);
    const QColor pressed = centreOf(button);
    EXPECT_LT(pressed.lightness(), normal.lightness());
    button->setAdjustsImageWhenHighlighted(false);
    EXPECT_EQ(centreOf(button), normal);
}

TEST(ButtonTest, TheRoundedLookTintsTheSelectedState)
{
    QWidget window;
    auto* button = new Button(&window);
    button->setGeometry(0, 0, 100, 44);
    button->setTitle("Shift");
    window.show();
    EXPECT_EQ(button->currentTitleColor(), QColor(0x00, 0x7a, 0xff));
    button->setSelected(true);
    EXPECT_EQ(button->currentTitleColor(), QColor(Qt::white));
    const QColor fill = button->grab().toImage().pixelColor(50, 6);
    EXPECT_GT(fill.blue(), 200);
    EXPECT_LT(fill.red(), 60);
}

TEST(ButtonTest, TheTagAndTheTitleCanBeSetAsPropertiesAsAFormDoes)
{
    Button button;
    EXPECT_TRUE(button.setProperty("tag", 7));
    EXPECT_TRUE(button.setProperty("title", QStringLiteral("esc")));
    EXPECT_EQ(button.tag(), 7);
    EXPECT_EQ(button.titleForState(ControlStateNormal), "esc");
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
#include "RemotePanelLook.h"

#include "platform/Button.h"
#include "platform/Theme.h"

#include "ui_RemoteView.h"

#include <QPalette>

using platform::Button;
using platform::ControlStateHighlighted;
namespace theme = platform::theme;

namespace {

// The images are drawn at twice their size in points, for sharp scaling. The
// panel is made at start-up under the computer list: its images are read
// when it is first drawn.
platform::Image remoteImage(const QString& name)
{
    return platform::Image::fromFile(QStringLiteral(":/remote/%1.png").arg(name), 2);
}

void setIcon(Button* button, const QString& name)
{
    button->setImage(remoteImage(name));
}

// A glyph on a pad surface: no chrome of its own, tinted while pressed.
void setPadGlyph(Button* button, const QString& name)
{
    button->setImage(remoteImage(name));
    button->setImage(remoteImage(name + QStringLiteral("_pressed")), ControlStateHighlighted);
}

// `endCaps`: on a taller screen the pad grows, keeping this much of its top
// and bottom as drawn (its round ends).
void setSurface(Button* button, const QString& name, int endCaps = 0)
{
    const QMargins caps(0, endCaps, 0, endCaps);
    button->setBackgroundImage(remoteImage(name).stretchable(caps));
    button->setBackgroundImage(remoteImage(name + QStringLiteral("_pressed")).stretchable(caps),
                               ControlStateHighlighted);
}

} // namespace

void applyRemotePanelLook(Ui::RemoteView& ui)
{
    QWidget* root = ui.titleLabel->parentWidget();
    root->setAutoFillBackground(true);
    QPalette palette = root->palette();
    palette.setColor(QPalette::Window, theme::groupedBackground());
    root->setPalette(palette);

    ui.titleLabel->setFont(theme::font(17, QFont::DemiBold));
    QPalette titlePalette = ui.titleLabel->palette();
    titlePalette.setColor(QPalette::WindowText, theme::label());
    ui.titleLabel->setPalette(titlePalette);

    setIcon(ui.buttonPower, "power");
    setPadGlyph(ui.buttonTabBar, "tabbar");
    setPadGlyph(ui.buttonSettings, "settings");

    // The arrow pad grows into a pill, its swipe ring with it.
    setSurface(ui.arrowPad, "arrow_pad", ui.arrowPad->width() / 2 - 1);
    setPadGlyph(ui.buttonUp, "arrow_up");
    setPadGlyph(ui.buttonDown, "arrow_down");
    setPadGlyph(ui.buttonLeft, "arrow_left");
    setPadGlyph(ui.buttonRight, "arrow_right");
    setSurface(ui.buttonSelect, "select");
    ui.buttonSelect->setFont(theme::font(17, QFont::DemiBold));
    ui.buttonSelect->setTitleColor(theme::label());

    setSurface(ui.pagePad, "page_pad", ui.pagePad->width() / 2);
    ui.pagePad->setImage(remoteImage("page_grip"));
    setPadGlyph(ui.buttonPageUp, "page_up");
    setPadGlyph(ui.buttonPageDown, "page_down");

    setIcon(ui.buttonBack, "back");
    setIcon(ui.buttonMain, "home");
    setIcon(ui.buttonMenu, "menu");
    setIcon(ui.buttonInfo, "info");

    setIcon(ui.buttonPrevious, "previous");
    setIcon(ui.buttonRewind, "rewind");
    setIcon(ui.buttonPlayPause, "play_pause");
    setIcon(ui.buttonStop, "stop");
    setIcon(ui.buttonForward, "forward");
    setIcon(ui.buttonNext, "next");

    setIcon(ui.buttonVolumeUp, "plus");
    setIcon(ui.buttonVolumeDown, "minus");
    setIcon(ui.buttonChannelUp, "channel_up");
    setIcon(ui.buttonChannelDown, "channel_down");
    setIcon(ui.buttonVolumeMute, "mute");
    setIcon(ui.buttonRecord, "record");
    for (Button* labelled : {ui.buttonVolumeUp, ui.buttonVolumeDown, ui.buttonChannelUp, ui.buttonChannelDown,
                             ui.buttonVolumeMute, ui.buttonRecord}) {
        labelled->setFont(theme::font(13, QFont::DemiBold));
        labelled->setTitleColor(theme::label());
    }
    // Panel keys are pressed many times in a row: no focus ring, no keyboard focus.
    for (QWidget* child : root->findChildren<Button*>())
        child->setFocusPolicy(Qt::NoFocus);
}

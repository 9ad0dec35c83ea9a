// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeyCapLook.h"

#include <QPainter>
#include <QPainterPath>

namespace keycap {

void paint(QPainter& painter, const QRectF& slot, Face face)
{
    using namespace platform::phone;
    using platform::theme::color;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF cap = slot.adjusted(kInsetX, kInsetY, -kInsetX, -kInsetY - kKeyCapShadow);
    QPainterPath under;
    under.addRoundedRect(cap.translated(0, kKeyCapShadow), kRadius, kRadius);
    painter.fillPath(under, color(kKeyCapShadowColor));
    QPainterPath body;
    body.addRoundedRect(cap, kRadius, kRadius);
    painter.fillPath(body, color(face == Face::Pressed ? kKeyCapPressed : face == Face::Special ? kKeyCapSpecial : kKeyCap));
    painter.restore();
}

} // namespace keycap

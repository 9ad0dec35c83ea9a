// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeyCapLook.h"

#include <QPainter>
#include <QPainterPath>

namespace keycap {

void paint(QPainter& painter, const QRectF& slot, Face face)
{
    static const QColor plain(0xFF, 0xFF, 0xFF), special(0xAC, 0xB3, 0xBD), pressed(0x8A, 0x92, 0x9E),
        shadow(0x89, 0x8A, 0x8D);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF cap = slot.adjusted(kInsetX, kInsetY, -kInsetX, -kInsetY - 1);
    QPainterPath under;
    under.addRoundedRect(cap.translated(0, 1), kRadius, kRadius);
    painter.fillPath(under, shadow);
    QPainterPath body;
    body.addRoundedRect(cap, kRadius, kRadius);
    painter.fillPath(body, face == Face::Pressed ? pressed : face == Face::Special ? special : plain);
    painter.restore();
}

} // namespace keycap

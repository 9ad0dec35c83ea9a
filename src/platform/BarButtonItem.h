// SPDX-License-Identifier: GPL-3.0-or-later
// A button of the navigation bar: a QAction (so it can come from a Designer
// form), shown as a tinted text button; Done items are bold.
#pragma once

#include <QAction>

namespace platform {

class BarButtonItem : public QAction {
    Q_OBJECT
    Q_PROPERTY(Style style READ style WRITE setStyle)

public:
    enum Style { Plain, Done };
    Q_ENUM(Style)

    explicit BarButtonItem(QObject* parent = nullptr);
    BarButtonItem(const QString& title, Style style, QObject* parent = nullptr);

    Style style() const { return style_; }
    void setStyle(Style style);

    // The style of any action shown in a bar: Plain unless it is a Done item.
    static Style styleOf(const QAction* action);

private:
    Style style_ = Plain;
};

} // namespace platform

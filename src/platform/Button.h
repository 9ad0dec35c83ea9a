// SPDX-License-Identifier: GPL-3.0-or-later
// A push button with a title, image, background image and title colour per
// control state (normal, highlighted, disabled, selected and their
// combinations), a pressed look, and a tag.
#pragma once

#include "platform/Control.h"
#include "platform/Image.h"

#include <QColor>
#include <QPixmap>
#include <map>

namespace platform {

class Button : public Control {
    Q_OBJECT
    Q_PROPERTY(QString title READ currentTitle WRITE setTitle)
    Q_PROPERTY(QPixmap image READ currentImage WRITE setImage)
    Q_PROPERTY(QPixmap backgroundImage READ currentBackgroundImage WRITE setBackgroundImage)
    Q_PROPERTY(QColor titleColor READ currentTitleColor WRITE setTitleColor)
    Q_PROPERTY(ButtonType buttonType READ buttonType WRITE setButtonType)

public:
    // RoundedRect draws the platform's own rounded look; Custom draws only
    // what was set (images and title), as keys and pads want.
    enum ButtonType { RoundedRect, Custom };
    Q_ENUM(ButtonType)

    explicit Button(QWidget* parent = nullptr);
    explicit Button(ButtonType type, QWidget* parent = nullptr);

    ButtonType buttonType() const { return type_; }
    void setButtonType(ButtonType type);

    void setTitle(const QString& title) { setTitle(title, ControlStateNormal); }
    void setTitle(const QString& title, ControlState state);
    // An image read from a file is read when the button is first drawn.
    void setImage(const QPixmap& image) { setImage(Image(image), ControlStateNormal); }
    void setImage(const Image& image) { setImage(image, ControlStateNormal); }
    void setImage(const Image& image, ControlState state);
    void setBackgroundImage(const QPixmap& image) { setBackgroundImage(Image(image), ControlStateNormal); }
    void setBackgroundImage(const Image& image) { setBackgroundImage(image, ControlStateNormal); }
    void setBackgroundImage(const Image& image, ControlState state);
    void setTitleColor(const QColor& color) { setTitleColor(color, ControlStateNormal); }
    void setTitleColor(const QColor& color, ControlState state);

    // What a state shows: its own setting, else that of its disabled, selected
    // or highlighted part (in this order), else the normal state's.
    QString titleForState(ControlState state) const;
    QPixmap imageForState(ControlState state) const;
    QPixmap backgroundImageForState(ControlState state) const;
    QColor titleColorForState(ControlState state) const;

    QString currentTitle() const { return titleForState(state()); }
    QPixmap currentImage() const { return imageForState(state()); }
    QPixmap currentBackgroundImage() const { return backgroundImageForState(state()); }
    QColor currentTitleColor() const { return titleColorForState(state()); }

    // Darkens a touched button that has no highlighted look of its own.
    bool adjustsImageWhenHighlighted() const { return adjustsImageWhenHighlighted_; }
    void setAdjustsImageWhenHighlighted(bool adjusts);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Look {
        std::map<ControlState, QString> titles;
        std::map<ControlState, Image> images;
        std::map<ControlState, Image> backgrounds;
        std::map<ControlState, QColor> titleColors;
    };
    template <class V>
    static const V* lookup(const std::map<ControlState, V>& values, ControlState state);
    bool hasOwnHighlightedLook() const;
    void paintRoundedChrome(class QPainter& painter, const QRectF& area) const;
    void paintContent(class QPainter& painter, const QRectF& area) const;

    Look look_;
    ButtonType type_ = RoundedRect;
    bool adjustsImageWhenHighlighted_ = true;
};

} // namespace platform

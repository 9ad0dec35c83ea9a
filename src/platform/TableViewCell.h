// SPDX-License-Identifier: GPL-3.0-or-later
// One row of a table: a text label, an accessory (disclosure indicator or
// check mark), a selected look, and the red delete button that a swipe shows.
// Cells may be made in code or laid out in a Designer form.
#pragma once

#include "platform/TableViewTypes.h"
#include "platform/View.h"

#include <QLabel>
#include <QPointer>

namespace platform {

class Button;
class TableView;

class TableViewCell : public View {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
    Q_PROPERTY(QString reuseIdentifier READ reuseIdentifier WRITE setReuseIdentifier)

public:
    explicit TableViewCell(QWidget* parent = nullptr);
    // A cell made in code (the frame is set by the table).
    TableViewCell(const QRect& frame, const QString& reuseIdentifier, QWidget* parent = nullptr);

    QString reuseIdentifier() const { return reuseIdentifier_; }
    void setReuseIdentifier(const QString& identifier) { reuseIdentifier_ = identifier; }

    QWidget* contentView() const { return contentView_; }
    QLabel* textLabel() const { return textLabel_; }
    QString text() const { return textLabel_->text(); }
    void setText(const QString& text) { textLabel_->setText(text); }

    TableViewCellAccessoryType accessoryType() const { return accessory_; }
    void setAccessoryType(TableViewCellAccessoryType type);
    TableViewCellSelectionStyle selectionStyle() const { return selectionStyle_; }
    void setSelectionStyle(TableViewCellSelectionStyle style);

    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected, bool animated);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted);
    // The editing flag of the row; the table keeps it as it is set.
    bool isEditing() const { return editing_; }
    void setEditing(bool editing) { editing_ = editing; }

    bool showingDeleteConfirmation() const;
    Button* deleteButton() const { return deleteButton_; }

    TableView* tableView() const { return tableView_; }

    void touchesBegan(const TouchSet& touches, Event* event) override;
    void touchesMoved(const TouchSet& touches, Event* event) override;
    void touchesEnded(const TouchSet& touches, Event* event) override;
    void touchesCancelled(const TouchSet& touches, Event* event) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TableView;
    void setGroupPosition(bool first, bool last, bool grouped);
    void setShowingDeleteConfirmation(bool showing, bool animated);
    // Labels that only show text let the mouse through to the cell, as a
    // finger goes to the cell on a touch screen: a drag on them scrolls the
    // table and a tap chooses the row.
    void passMouseThroughLabels();
    void layoutParts();
    int accessoryWidth() const;

    QString reuseIdentifier_;
    QWidget* contentView_;
    QLabel* textLabel_;
    Button* deleteButton_;
    QPointer<TableView> tableView_;
    TableViewCellAccessoryType accessory_ = TableViewCellAccessoryType::None;
    TableViewCellSelectionStyle selectionStyle_ = TableViewCellSelectionStyle::Blue;
    bool selected_ = false;
    bool highlighted_ = false;
    bool editing_ = false;
    bool first_ = true;
    bool last_ = true;
    bool grouped_ = true;
    // The gesture of the finger on the cell.
    QPointF touchStart_;
    QPointF touchLast_;
    bool swiped_ = false;
    bool scrolled_ = false;
    bool dismissedDelete_ = false;
};

} // namespace platform

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TableView.h"

#include "platform/TableViewCell.h"
#include "platform/Theme.h"
#include "platform/View.h"
#include "platform/ViewAnimation.h"

#include <QLabel>
#include <QResizeEvent>
#include <QScrollBar>
#include <algorithm>

namespace platform {

namespace {
constexpr int kTopSpace = 18;
constexpr int kHeaderHeight = 38;
constexpr int kSectionGap = 18;
constexpr int kBottomSpace = 24;
constexpr int kFooterTopSpace = 7;
} // namespace

TableView::TableView(QWidget* parent) : TableView(TableViewStyle::Grouped, parent) {}

namespace {
// The table's content: a finger dragged over the space between the rows
// scrolls the table too.
class TableContent : public View {
public:
    explicit TableContent(TableView* table) : table_(table) {}
    void touchesMoved(const TouchSet& touches, Event*) override
    {
        const Touch* touch = touches.anyObject();
        table_->scrollBy(int(touch->previousLocationInView(table_).y() - touch->locationInView(table_).y()));
    }

private:
    TableView* table_;
};
} // namespace

TableView::TableView(TableViewStyle style, QWidget* parent) : QScrollArea(parent), content_(new TableContent(this))
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A phone table scrolls under the finger; the wheel still works without a bar.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(false);
    setWidget(content_);
    setStyle(style);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { makeCellsOnScreen(); });
}

void TableView::setStyle(TableViewStyle style)
{
    style_ = style;
    QPalette palette = viewport()->palette();
    palette.setColor(QPalette::Window, style == TableViewStyle::Grouped ? theme::groupedBackground() : theme::cellBackground());
    viewport()->setPalette(palette);
    viewport()->setAutoFillBackground(true);
    content_->setPalette(palette);
    content_->setAutoFillBackground(true);
    layoutRows(false);
}

void TableView::setRowHeight(int height)
{
    rowHeight_ = qMax(1, height);
    layoutRows(false);
}

int TableView::numberOfRowsInSection(int section) const
{
    return section >= 0 && section < sections_.size() ? int(sections_[section].cells.size()) : 0;
}

QString TableView::headerTitleForSection(int section) const
{
    return section >= 0 && section < sections_.size() ? sections_[section].title : QString();
}

QString TableView::footerTitleForSection(int section) const
{
    return section >= 0 && section < sections_.size() ? sections_[section].footerTitle : QString();
}

QLabel* TableView::footerViewForSection(int section) const
{
    return section >= 0 && section < sections_.size() ? sections_[section].footer : nullptr;
}

TableViewCell* TableView::madeCell(const IndexPath& indexPath) const
{
    if (indexPath.section < 0 || indexPath.section >= sections_.size())
        return nullptr;
    const auto& cells = sections_[indexPath.section].cells;
    return indexPath.row >= 0 && indexPath.row < cells.size() ? cells[indexPath.row].data() : nullptr;
}

TableViewCell* TableView::cellForRowAtIndexPath(const IndexPath& indexPath)
{
    if (TableViewCell* cell = madeCell(indexPath))
        return cell;
    if (indexPath.section < 0 || indexPath.section >= sections_.size() || indexPath.row < 0
        || indexPath.row >= sections_[indexPath.section].cells.size())
        return nullptr;
    return makeCell(indexPath.section, indexPath.row);
}

TableViewCell* TableView::makeCell(int section, int row)
{
    TableViewCell* cell = fetchCell(IndexPath{section, row});
    // The data source may have changed the table while it was asked.
    if (section >= sections_.size() || row >= sections_[section].cells.size()) {
        retire(cell);
        return nullptr;
    }
    Section& rows = sections_[section];
    rows.cells[row] = cell;
    cell->setGroupPosition(row == 0, row == rows.cells.size() - 1, style_ == TableViewStyle::Grouped);
    if (!rows.frames[row].isEmpty())
        cell->setGeometry(rows.frames[row]);
    return cell;
}

void TableView::makeCellsOnScreen()
{
    const int top = verticalScrollBar()->value();
    const int bottom = top + viewport()->height();
    for (int s = 0; s < sections_.size(); ++s) {
        Section& section = sections_[s];
        for (int r = 0; r < section.cells.size(); ++r) {
            const QRect& frame = section.frames[r];
            if (frame.isEmpty() || frame.bottom() < top)
                continue;
            if (frame.top() >= bottom)
                return; // the rows lie in order down the content
            if (!section.cells[r])
                makeCell(s, r);
        }
    }
}

std::optional<IndexPath> TableView::indexPathForCell(const TableViewCell* cell) const
{
    if (!cell)
        return std::nullopt;
    for (int s = 0; s < sections_.size(); ++s)
        for (int r = 0; r < sections_[s].cells.size(); ++r)
            if (sections_[s].cells[r] == cell)
                return IndexPath{s, r};
    return std::nullopt;
}

TableViewCell* TableView::dequeueReusableCellWithIdentifier(const QString& identifier)
{
    auto& pool = reusable_[identifier];
    while (!pool.isEmpty()) {
        TableViewCell* cell = pool.takeLast();
        if (!cell)
            continue;
        cell->setSelected(false, false);
        cell->setHighlighted(false);
        cell->setShowingDeleteConfirmation(false, false);
        ViewAnimation::applyAlpha(cell, 1);
        return cell;
    }
    return nullptr;
}

void TableView::adopt(TableViewCell* cell)
{
    for (auto& pool : reusable_)
        pool.removeAll(QPointer<TableViewCell>(cell));
    cell->tableView_ = this;
    if (cell->parentWidget() != content_)
        cell->setParent(content_);
    cell->passMouseThroughLabels();
    // Above the rows that leave (they are lowered while they slide away).
    cell->raise();
    cell->show();
}

void TableView::retire(TableViewCell* cell)
{
    if (!cell)
        return;
    cell->hide();
    cell->setShowingDeleteConfirmation(false, false);
    if (cell == selectedCell_)
        selectedCell_ = nullptr;
    if (cell == deleteConfirmation_)
        deleteConfirmation_ = nullptr;
    if (!cell->reuseIdentifier().isEmpty() && !reusable_[cell->reuseIdentifier()].contains(cell))
        reusable_[cell->reuseIdentifier()].append(cell);
}

TableViewCell* TableView::fetchCell(const IndexPath& indexPath)
{
    TableViewCell* cell = dataSource_ ? dataSource_->cellForRowAtIndexPath(this, indexPath) : nullptr;
    if (!cell) {
        // A data source that gives no cell gets an empty row rather than a crash.
        qWarning("TableView: no cell for row %d of section %d", indexPath.row, indexPath.section);
        cell = new TableViewCell(content_);
    }
    adopt(cell);
    return cell;
}

void TableView::clearSections()
{
    for (Section& section : sections_) {
        for (const auto& cell : section.cells)
            retire(cell);
        delete section.header;
        delete section.footer;
    }
    sections_.clear();
}

void TableView::reloadData()
{
    hideDeleteConfirmation();
    const QPointer<TableViewCell> previouslySelected = selectedCell_;
    clearSections();
    selectedCell_ = nullptr;
    if (previouslySelected)
        previouslySelected->setSelected(false, false);
    loaded_ = true;
    pendingDeletes_.clear();
    pendingInserts_.clear();
    if (!dataSource_) {
        layoutRows(false);
        return;
    }
    const int sectionCount = qMax(0, dataSource_->numberOfSectionsInTableView(this));
    for (int s = 0; s < sectionCount; ++s) {
        Section section;
        section.title = dataSource_->titleForHeaderInSection(this, s);
        section.footerTitle = dataSource_->titleForFooterInSection(this, s);
        sections_.append(section);
    }
    // The cells come as their rows come on screen.
    for (int s = 0; s < sectionCount; ++s) {
        const int rows = qMax(0, dataSource_->numberOfRowsInSection(this, s));
        sections_[s].cells.resize(rows);
        sections_[s].frames.resize(rows);
    }
    layoutRows(false);
}

void TableView::selectRowAtIndexPath(const IndexPath& indexPath, bool animated)
{
    TableViewCell* cell = cellForRowAtIndexPath(indexPath);
    if (!cell)
        return;
    if (selectedCell_ && selectedCell_ != cell)
        selectedCell_->setSelected(false, animated);
    selectedCell_ = cell;
    cell->setSelected(true, animated);
}

void TableView::deselectRowAtIndexPath(const IndexPath& indexPath, bool animated)
{
    TableViewCell* cell = cellForRowAtIndexPath(indexPath);
    if (!cell)
        return;
    cell->setSelected(false, animated);
    if (cell == selectedCell_)
        selectedCell_ = nullptr;
}

std::optional<IndexPath> TableView::indexPathForSelectedRow() const
{
    return indexPathForCell(selectedCell_);
}

std::optional<IndexPath> TableView::indexPathOfDeleteConfirmation() const
{
    return indexPathForCell(deleteConfirmation_);
}

void TableView::hideDeleteConfirmation()
{
    TableViewCell* cell = deleteConfirmation_;
    deleteConfirmation_ = nullptr;
    if (!cell)
        return;
    cell->setShowingDeleteConfirmation(false, true);
    if (auto indexPath = indexPathForCell(cell); indexPath && delegate_)
        delegate_->didEndEditingRowAtIndexPath(this, *indexPath);
}

bool TableView::cellTouchBegan(TableViewCell* cell)
{
    // A touch anywhere but on the shown delete button puts the button away,
    // and does nothing else.
    if (!deleteConfirmation_ || deleteConfirmation_ == cell)
        return false;
    hideDeleteConfirmation();
    return true;
}

void TableView::cellTapped(TableViewCell* cell)
{
    const auto indexPath = indexPathForCell(cell);
    if (!indexPath)
        return;
    if (deleteConfirmation_) {
        hideDeleteConfirmation();
        return;
    }
    selectRowAtIndexPath(*indexPath, false);
    if (delegate_)
        delegate_->didSelectRowAtIndexPath(this, *indexPath);
}

void TableView::cellSwiped(TableViewCell* cell)
{
    const auto indexPath = indexPathForCell(cell);
    if (!indexPath || !dataSource_ || !dataSource_->canEditRowAtIndexPath(this, *indexPath))
        return;
    const TableViewCellEditingStyle style = delegate_ ? delegate_->editingStyleForRowAtIndexPath(this, *indexPath)
                                                      : TableViewCellEditingStyle::Delete;
    if (style != TableViewCellEditingStyle::Delete)
        return;
    hideDeleteConfirmation();
    if (delegate_)
        delegate_->willBeginEditingRowAtIndexPath(this, *indexPath);
    deleteConfirmation_ = cell;
    cell->setShowingDeleteConfirmation(true, true);
}

void TableView::commitDeleteOfCell(TableViewCell* cell)
{
    // The row is looked up now: rows above it may have gone since the swipe.
    const auto indexPath = indexPathForCell(cell);
    hideDeleteConfirmation();
    if (indexPath && dataSource_)
        dataSource_->commitEditingStyle(this, TableViewCellEditingStyle::Delete, *indexPath);
}

void TableView::beginUpdates()
{
    ++updateDepth_;
}

void TableView::endUpdates()
{
    if (updateDepth_ > 0 && --updateDepth_ == 0)
        applyUpdates();
}

void TableView::insertRowsAtIndexPaths(const QList<IndexPath>& indexPaths, TableViewRowAnimation animation)
{
    for (const IndexPath& indexPath : indexPaths)
        pendingInserts_.append({indexPath, animation});
    if (updateDepth_ == 0)
        applyUpdates();
}

void TableView::deleteRowsAtIndexPaths(const QList<IndexPath>& indexPaths, TableViewRowAnimation animation)
{
    for (const IndexPath& indexPath : indexPaths)
        pendingDeletes_.append({indexPath, animation});
    if (updateDepth_ == 0)
        applyUpdates();
}

bool TableView::consistentWithDataSource()
{
    if (!dataSource_)
        return sections_.isEmpty();
    if (dataSource_->numberOfSectionsInTableView(this) != sections_.size())
        return false;
    for (int s = 0; s < sections_.size(); ++s)
        if (dataSource_->numberOfRowsInSection(this, s) != sections_[s].cells.size())
            return false;
    return true;
}

void TableView::applyUpdates()
{
    QList<RowChange> deletes;
    QList<RowChange> inserts;
    deletes.swap(pendingDeletes_);
    inserts.swap(pendingInserts_);
    if (!loaded_) {
        reloadData();
        return;
    }
    hideDeleteConfirmation();

    // Rows above the first change keep their place.
    std::optional<IndexPath> firstChange;
    for (const QList<RowChange>* changes : {&deletes, &inserts})
        for (const RowChange& change : *changes)
            if (!firstChange || change.indexPath < *firstChange)
                firstChange = change.indexPath;

    // Deletions by the old numbering, from the bottom up so that each index still holds.
    std::sort(deletes.begin(), deletes.end(), [](const RowChange& a, const RowChange& b) { return b.indexPath < a.indexPath; });
    deletes.erase(std::unique(deletes.begin(), deletes.end(),
                              [](const RowChange& a, const RowChange& b) { return a.indexPath == b.indexPath; }),
                  deletes.end());
    QList<QPair<QPointer<TableViewCell>, TableViewRowAnimation>> leaving;
    bool valid = true;
    for (const RowChange& change : deletes) {
        const IndexPath& at = change.indexPath;
        if (at.section < 0 || at.section >= sections_.size() || at.row < 0 || at.row >= sections_[at.section].cells.size()) {
            valid = false;
            continue;
        }
        TableViewCell* cell = madeCell(at);
        sections_[at.section].cells.removeAt(at.row);
        sections_[at.section].frames.removeAt(at.row);
        if (!cell)
            continue; // never on screen: nothing to see go
        if (cell == selectedCell_)
            selectedCell_ = nullptr;
        leaving.append({cell, change.animation});
    }
    // Insertions by the new numbering, from the top down.
    std::sort(inserts.begin(), inserts.end(), [](const RowChange& a, const RowChange& b) { return a.indexPath < b.indexPath; });
    // Their cells come with the layout, if they are on screen.
    QList<RowChange> arriving;
    for (const RowChange& change : inserts) {
        const IndexPath& at = change.indexPath;
        if (at.section < 0 || at.section >= sections_.size() || at.row < 0 || at.row > sections_[at.section].cells.size()) {
            valid = false;
            continue;
        }
        sections_[at.section].cells.insert(at.row, nullptr);
        sections_[at.section].frames.insert(at.row, QRect());
        arriving.append(change);
    }

    // Rows that do not add up to the data source's counts would show stale
    // content; the table then asks for everything again.
    if (!valid || !consistentWithDataSource()) {
        qWarning("TableView: row changes do not match the data source; reloading");
        for (const auto& [cell, animation] : leaving)
            retire(cell);
        reloadData();
        return;
    }

    const bool animated = ViewAnimation::animationsEnabled();
    for (const auto& [cell, animation] : leaving) {
        if (!cell)
            continue;
        if (!animated || animation == TableViewRowAnimation::None) {
            retire(cell);
            continue;
        }
        QRect to = cell->geometry();
        switch (animation) {
        case TableViewRowAnimation::Top: to.translate(0, -to.height()); break;
        case TableViewRowAnimation::Bottom: to.translate(0, to.height()); break;
        case TableViewRowAnimation::Left: to.translate(-to.width(), 0); break;
        case TableViewRowAnimation::Right: to.translate(to.width(), 0); break;
        default: break;
        }
        cell->lower();
        QPointer<TableViewCell> guard = cell;
        const std::weak_ptr<bool> table = alive_;
        ViewAnimation(ViewAnimation::kDefaultDuration)
            .setFrame(cell, to)
            .setAlpha(cell, 0)
            .whenFinished([this, table, guard] {
                if (!table.expired() && guard && !indexPathForCell(guard))
                    retire(guard);
            })
            .commit();
    }
    layoutRows(animated, firstChange.value_or(IndexPath{0, 0}));
    for (const RowChange& change : arriving) {
        TableViewCell* cell = madeCell(change.indexPath);
        if (!cell || !animated || change.animation == TableViewRowAnimation::None)
            continue;
        ViewAnimation::applyAlpha(cell, 0);
        ViewAnimation().setAlpha(cell, 1).commit();
    }
}

int TableView::heightOfRow(const IndexPath& indexPath)
{
    return delegate_ ? qMax(1, delegate_->heightForRowAtIndexPath(this, indexPath)) : rowHeight_;
}

QRect TableView::rectForRowAtIndexPath(const IndexPath& indexPath) const
{
    if (TableViewCell* cell = madeCell(indexPath))
        return cell->geometry();
    return indexPath.section >= 0 && indexPath.section < sections_.size() && indexPath.row >= 0
                   && indexPath.row < sections_[indexPath.section].frames.size()
               ? sections_[indexPath.section].frames[indexPath.row]
               : QRect();
}

void TableView::layoutRows(bool animated, IndexPath from)
{
    const bool grouped = style_ == TableViewStyle::Grouped;
    const int width = viewport()->width();
    const int inset = grouped ? phone::kGroupInset : 0;

    // Start at the row above the first change (its rounded corners may
    // change) when it has been placed at this width; else from the top.
    int firstSection = 0;
    int firstRow = 0;
    bool resumeAtRow = false; // the first section's header stays where it is
    int y = grouped ? kTopSpace : 0;
    if (from.section >= 0 && from.section < sections_.size() && (from.section > 0 || from.row > 0)) {
        const Section& section = sections_[from.section];
        const int above = std::min(from.row, int(section.cells.size())) - 1;
        const QRect placed = above >= 0 ? section.frames[above] : QRect();
        if (above < 0) {
            firstSection = from.section;
            y = section.top;
        } else if (!placed.isEmpty() && placed.width() == width - 2 * inset) {
            firstSection = from.section;
            firstRow = above;
            resumeAtRow = true;
            y = placed.y();
        }
    }

    for (int s = firstSection; s < sections_.size(); ++s) {
        Section& section = sections_[s];
        const int startRow = s == firstSection ? firstRow : 0;
        if (!(s == firstSection && resumeAtRow)) {
            section.top = y;
            if (!section.title.isEmpty()) {
                if (!section.header) {
                    section.header = new QLabel(content_);
                    section.header->setFont(theme::font(13));
                    QPalette palette = section.header->palette();
                    palette.setColor(QPalette::WindowText, theme::secondaryLabel());
                    section.header->setPalette(palette);
                    section.header->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
                    section.header->show();
                }
                section.header->setText(grouped ? section.title.toUpper() : section.title);
                section.header->setGeometry(inset + 16, y, width - 2 * inset - 32, kHeaderHeight - 7);
                y += kHeaderHeight;
            } else if (section.header) {
                delete section.header;
                section.header = nullptr;
            }
        }
        const int rows = int(section.cells.size());
        for (int r = startRow; r < rows; ++r) {
            const QRect frame(inset, y, width - 2 * inset, heightOfRow(IndexPath{s, r}));
            section.frames[r] = frame;
            y += frame.height();
            TableViewCell* cell = section.cells[r];
            if (!cell)
                continue;
            cell->setGroupPosition(r == 0, r == rows - 1, grouped);
            if (animated && cell->isVisible() && cell->geometry() != frame && !cell->geometry().isEmpty())
                ViewAnimation().setFrame(cell, frame).commit();
            else
                cell->setGeometry(frame);
        }
        y += layoutFooter(section, y);
        if (rows > 0 || !section.title.isEmpty() || section.footer)
            y += grouped ? kSectionGap : 0;
    }
    y += grouped ? kBottomSpace : 0;
    content_->resize(width, qMax(y, viewport()->height()));
    makeCellsOnScreen();
}

int TableView::layoutFooter(Section& section, int y)
{
    if (section.footerTitle.isEmpty()) {
        delete section.footer;
        section.footer = nullptr;
        return 0;
    }
    if (!section.footer) {
        section.footer = new QLabel(content_);
        section.footer->setFont(theme::font(13));
        section.footer->setWordWrap(true);
        section.footer->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        QPalette palette = section.footer->palette();
        palette.setColor(QPalette::WindowText, theme::secondaryLabel());
        section.footer->setPalette(palette);
        // Only text: a finger on it scrolls the table below.
        section.footer->setAttribute(Qt::WA_TransparentForMouseEvents);
        section.footer->show();
    }
    section.footer->setText(section.footerTitle);
    const int inset = style_ == TableViewStyle::Grouped ? phone::kGroupInset : 0;
    const int width = viewport()->width() - 2 * inset - 32;
    const int height = section.footer->heightForWidth(width);
    section.footer->setGeometry(inset + 16, y + kFooterTopSpace, width, height);
    return kFooterTopSpace + height;
}

void TableView::scrollBy(int dy)
{
    verticalScrollBar()->setValue(verticalScrollBar()->value() + dy);
}

void TableView::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    layoutRows(false);
}

} // namespace platform

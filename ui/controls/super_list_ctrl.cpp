#include "ui/controls/super_list_ctrl.h"

#include <QApplication>
#include <QFocusEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPainter>
#include <QResizeEvent>

namespace {
const QString ELLIPSIS = QStringLiteral("...");
}

bool MakeShortString(const QFontMetrics& metrics, QString& text, int columnWidth, int offset) {
    if (text.isEmpty() || metrics.horizontalAdvance(text) + offset <= columnWidth) {
        return true;
    }
    QString working = text.left(SHORT_STRING_LENGTH);
    const int ellipsisWidth = metrics.horizontalAdvance(ELLIPSIS);
    while (!working.isEmpty()) {
        working.chop(1);
        if (metrics.horizontalAdvance(working) + offset + ellipsisWidth <= columnWidth) {
            break;
        }
    }
    text = working + ELLIPSIS;
    return false;
}

CSuperListCtrl::CSuperListCtrl(QWidget* parent) : QTreeView(parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    header()->setStretchLastSection(false);
    const QPalette base = QApplication::palette(this);
    textColour = base.color(QPalette::Text);
    textBkColour = base.color(QPalette::Base);
    bkColour = base.color(QPalette::Base);
    ApplyColours();
}

bool CSuperListCtrl::SetFullRowSel(bool fullRow) {
    const bool wasEnabled = updatesEnabled();
    setUpdatesEnabled(false);
    const bool changed = fullRow != fullRowSel;
    fullRowSel = fullRow;
    if (changed) {
        setSelectionBehavior(fullRow ? QAbstractItemView::SelectRows
                                     : QAbstractItemView::SelectItems);
        setAllColumnsShowFocus(fullRow);
    }
    setUpdatesEnabled(wasEnabled);
    if (changed) {
        viewport()->update();
    }
    return changed;
}

void CSuperListCtrl::SetClientWidthSel(bool clientWidth) {
    clientWidthSel = clientWidth;
    viewport()->update();
}

void CSuperListCtrl::SetStateImageSize(QSize iconSize) {
    stateImageOffset = iconSize.isValid() ? iconSize.width() : 0;
}

void CSuperListCtrl::SetTextColor(const QColor& colour) {
    textColour = colour;
    ApplyColours();
}

void CSuperListCtrl::SetTextBkColor(const QColor& colour) {
    textBkColour = colour;
    ApplyColours();
}

void CSuperListCtrl::SetBkColor(const QColor& colour) {
    bkColour = colour;
    ApplyColours();
}

void CSuperListCtrl::ApplyColours() {
    QPalette colours = palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        colours.setColor(group, QPalette::Text, textColour);
        colours.setColor(group, QPalette::Base, bkColour);
    }
    setPalette(colours);
    viewport()->update();
}

QColor CSuperListCtrl::HighlightColor() const {
    return hasFocus() ? palette().color(QPalette::Active, QPalette::Highlight)
                      : palette().color(QPalette::Active, QPalette::Button);
}

QColor CSuperListCtrl::HighlightTextColor() const {
    return hasFocus() ? palette().color(QPalette::Active, QPalette::HighlightedText)
                      : palette().color(QPalette::Active, QPalette::ButtonText);
}

QRect CSuperListCtrl::RowStrip(const QModelIndex& index) const {
    const QModelIndex first = index.sibling(index.row(), 0);
    QRect rect = visualRect(first);
    const int labelLeft = rect.left() + stateImageOffset;
    const int right = std::max(clientWidth, header()->length() - header()->offset());
    return QRect(labelLeft, rect.top(), std::max(0, right - labelLeft), rect.height());
}

void CSuperListCtrl::RepaintSelectedItems() {
    const QModelIndex focused = currentIndex();
    if (focused.isValid()) {
        viewport()->update(RowStrip(focused));
    }
    if (selectionModel()) {
        for (const QModelIndex& row : selectionModel()->selectedRows()) {
            viewport()->update(RowStrip(row));
        }
    }
}

void CSuperListCtrl::resizeEvent(QResizeEvent* event) {
    QTreeView::resizeEvent(event);
    clientWidth = viewport()->width();
}

void CSuperListCtrl::focusInEvent(QFocusEvent* event) {
    QTreeView::focusInEvent(event);
    if (fullRowSel) {
        RepaintSelectedItems();
    }
}

void CSuperListCtrl::focusOutEvent(QFocusEvent* event) {
    QTreeView::focusOutEvent(event);
    // A child (an in-place editor) taking the focus leaves the colours alone.
    QWidget* next = QApplication::focusWidget();
    if (next && isAncestorOf(next)) {
        return;
    }
    if (fullRowSel) {
        RepaintSelectedItems();
    }
}

void CSuperListCtrl::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    const bool selected = selectionModel() && selectionModel()->isSelected(index);
    QStyleOptionViewItem row = option;
    painter->fillRect(option.rect, !isEnabled() ? bkColour
                                   : selected   ? HighlightColor()
                                                : textBkColour);
    row.palette.setColor(QPalette::Highlight, HighlightColor());
    row.palette.setColor(QPalette::HighlightedText, HighlightTextColor());
    row.palette.setColor(QPalette::Text, isEnabled()
                                             ? textColour
                                             : palette().color(QPalette::Disabled, QPalette::Text));
    QTreeView::drawRow(painter, row, index);

    // The strip right of the last column: highlighted rows reach the client's
    // edge only when asked to.
    const int columnsRight = header()->length() - header()->offset();
    const int right = std::max(clientWidth, viewport()->width());
    if (columnsRight < right) {
        const bool highlight = clientWidthSel && fullRowSel && selected && isEnabled();
        const QRect strip(columnsRight, option.rect.top(), right - columnsRight,
                          option.rect.height());
        painter->fillRect(strip, highlight      ? HighlightColor()
                                 : !isEnabled() ? bkColour
                                                : textBkColour);
    }
}

#include "ui/file_list_ctrl.h"

#include "queue/queue_entry.h"
#include "queue/queue_model.h"
#include "ui/controls/display_caps.h"
#include "ui/controls/fonts.h"
#include "ui/file_list_model.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>

namespace {

constexpr int FIRST_CELL_INSET = 2;
constexpr int CELL_INSET = 6;
constexpr int BAR_GAP = 6;
constexpr int BAR_MIN_WIDTH = 10;
const QColor BAR_FILL(0, 0, 128);

} // namespace

QRect RowProgressRect(const QRect& cell, int textRight, bool largeFonts) {
    const int left = textRight + BAR_GAP;
    const int right = cell.right() + 1;
    if (right - left < BAR_MIN_WIDTH) {
        return QRect();
    }
    const int inset = largeFonts ? 4 : 3;
    return QRect(QPoint(left, cell.top() + inset), QPoint(right - 1, cell.bottom() - inset));
}

CFileListCtrl::CFileListCtrl(QueueModel& queue, QWidget* parent)
    : CSuperListCtrl(parent), queue(queue), listModel(std::make_unique<FileListModel>(queue)),
      listFont(MakeDisplayFont(QStringLiteral("MS Sans Serif"), 8, 400)) {
    setObjectName(QStringLiteral("1161"));
    setFont(listFont);
    setModel(listModel.get());
    header()->setSectionsMovable(false);
    header()->setSectionsClickable(true);
    connect(header(), &QHeaderView::sectionClicked, this,
            [this](int section) { emit HeaderClicked(section + 1); });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { PushSelection(); });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { PushSelection(); });
    connect(&queue, &QueueModel::SelectionChanged, this, [this] { PullSelection(); });
    connect(&queue, &QueueModel::RowsChanged, this, [this] { PullSelection(); });
    connect(&queue, &QueueModel::RowUpdated, this, [this] { viewport()->update(); });
}

CFileListCtrl::~CFileListCtrl() {
    // The view lets go of the model before the model goes.
    setModel(nullptr);
}

bool CFileListCtrl::BuildColumns(std::uint32_t columns, std::array<std::uint32_t, 8>& widths) {
    listModel->LoadStatusTexts();
    for (int column = 0; column < LIST_COLUMN_COUNT; ++column) {
        const bool shown = column == LIST_COLUMN_FILES || (columns & (1u << column)) != 0;
        header()->setSectionHidden(column, !shown);
        if (!shown) {
            continue;
        }
        auto& width = widths[static_cast<std::size_t>(column)];
        if (width == 0) {
            width = static_cast<std::uint32_t>(defaultWidths[static_cast<std::size_t>(column)]);
        }
        header()->resizeSection(column, static_cast<int>(width));
    }
    return true;
}

void CFileListCtrl::GetColumnWidths(std::array<std::uint32_t, 8>& widths) const {
    for (int column = 0; column < LIST_COLUMN_COUNT; ++column) {
        if (IsColumnShown(column)) {
            widths[static_cast<std::size_t>(column)] =
                static_cast<std::uint32_t>(header()->sectionSize(column));
        }
    }
}

bool CFileListCtrl::IsColumnShown(int column) const {
    return !header()->isSectionHidden(column);
}

int CFileListCtrl::ShownColumnCount() const {
    int shown = 0;
    for (int column = 0; column < LIST_COLUMN_COUNT; ++column) {
        shown += IsColumnShown(column) ? 1 : 0;
    }
    return shown;
}

void CFileListCtrl::PullSelection() {
    if (syncing) {
        return;
    }
    syncing = true;
    QItemSelection selection;
    for (int row : queue.SelectedRows()) {
        selection.select(listModel->index(row, 0), listModel->index(row, LIST_COLUMN_COUNT - 1));
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    const int focus = queue.FocusRow();
    if (focus >= 0 && focus < queue.RowCount()) {
        selectionModel()->setCurrentIndex(listModel->index(focus, 0),
                                          QItemSelectionModel::NoUpdate);
    }
    syncing = false;
    viewport()->update();
}

void CFileListCtrl::PushSelection() {
    if (syncing) {
        return;
    }
    syncing = true;
    // Only the selected rows of either side are looked at, never every row.
    std::vector<int> wanted;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom() && row < queue.RowCount(); ++row) {
            wanted.push_back(row);
        }
    }
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    for (int row : queue.SelectedRows()) {
        if (!std::binary_search(wanted.begin(), wanted.end(), row)) {
            queue.Select(row, false);
        }
    }
    for (int row : wanted) {
        if (!queue.IsSelected(row)) {
            queue.Select(row, true);
        }
    }
    const QModelIndex current = selectionModel()->currentIndex();
    if (current.isValid() && current.row() != queue.FocusRow()) {
        queue.SetFocusRow(current.row());
    }
    syncing = false;
    emit RowStateChanged();
}

std::unique_ptr<QMenu> CFileListCtrl::BuildContextMenu() {
    auto menu = std::make_unique<QMenu>(this);
    menu->setObjectName(QStringLiteral("130"));
    auto add = [&menu](const QString& text, int id) {
        QAction* action = menu->addAction(text);
        action->setData(id);
        return action;
    };
    QAction* remove = add(QStringLiteral("&Delete From List"), ID_DELETE_FROM_LIST);
    QAction* reset = add(QStringLiteral("&Reset Status"), ID_RESET_STATUS);
    QAction* moreInfo = add(QStringLiteral("&More Info"), ID_MORE_INFO);
    add(QStringLiteral("Reset Status for &All Files"), ID_RESET_ALL);
    add(QStringLiteral("ID3 Tag Information"), ID_ID3_TAG_INFO);

    bool anyActive = false;
    bool anyInactive = false;
    bool anyFinished = false;
    const std::vector<int> rows = queue.SelectedRows();
    for (int row : rows) {
        const QueueEntry* entry = queue.EntryAt(row);
        if (entry == nullptr) {
            continue;
        }
        const bool active = entry->status == Encoding || entry->status == Paused;
        anyActive = anyActive || active;
        anyInactive = anyInactive || !active;
        anyFinished = anyFinished || entry->status == Completed || entry->status == Error;
    }
    remove->setEnabled(!anyActive);
    moreInfo->setEnabled(!anyInactive && rows.size() == 1);
    reset->setEnabled(anyFinished);
    connect(menu.get(), &QMenu::triggered, this,
            [this](QAction* action) { emit Command(action->data().toInt()); });
    return menu;
}

void CFileListCtrl::contextMenuEvent(QContextMenuEvent* event) {
    if (queue.CountSelected() == 0) {
        return;
    }
    QPoint at = event->globalPos();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        at = viewport()->mapToGlobal(QPoint(5, 5));
    }
    std::unique_ptr<QMenu> menu = BuildContextMenu();
    menu->exec(at);
}

void CFileListCtrl::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete) {
        // Posted, so the list finishes with the key before the row goes.
        QTimer::singleShot(0, this, [this] { emit Command(ID_DELETE_FROM_LIST); });
    }
    CSuperListCtrl::keyPressEvent(event);
}

int CFileListCtrl::FirstFullyVisibleRow() const {
    const QModelIndex top = indexAt(QPoint(0, 0));
    if (!top.isValid()) {
        return 0;
    }
    const QRect rect = visualRect(top);
    return rect.top() < 0 ? std::min(top.row() + 1, queue.RowCount() - 1) : top.row();
}

int CFileListCtrl::LastFullyVisibleRow() const {
    const int rows = queue.RowCount();
    if (rows == 0) {
        return 0;
    }
    const QModelIndex bottom = indexAt(QPoint(0, viewport()->height() - 1));
    if (!bottom.isValid()) {
        return rows - 1;
    }
    const QRect rect = visualRect(bottom);
    return rect.bottom() >= viewport()->height() ? std::max(bottom.row() - 1, 0) : bottom.row();
}

void CFileListCtrl::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    QueueEntry* entry = listModel->EntryAt(index.row());
    if (entry == nullptr) {
        return;
    }
    const bool selected = selectionModel()->isSelected(index);
    const bool highlighted = isEnabled() && selected;
    QRect rowRect = option.rect;
    if (GetClientWidthSel()) {
        rowRect.setRight(std::max(rowRect.right(), viewport()->width() - 1));
    }
    painter->save();
    painter->fillRect(rowRect, !isEnabled()  ? BkColor()
                               : highlighted ? HighlightColor()
                                             : TextBkColor());
    painter->setFont(font());
    painter->setPen(!isEnabled()  ? palette().color(QPalette::Disabled, QPalette::Text)
                    : highlighted ? HighlightTextColor()
                                  : TextColor());
    for (int column = 0; column < LIST_COLUMN_COUNT; ++column) {
        if (!IsColumnShown(column)) {
            continue;
        }
        const QRect cell(header()->sectionViewportPosition(column), option.rect.top(),
                         header()->sectionSize(column), option.rect.height());
        DrawCell(*painter, *entry, column, cell, highlighted);
    }
    if (index.row() == currentIndex().row() && hasFocus()) {
        QPen dotted(palette().color(QPalette::Text), 1, Qt::DotLine);
        painter->setPen(dotted);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(rowRect.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

void CFileListCtrl::DrawCell(QPainter& painter, QueueEntry& entry, int column, const QRect& cell,
                             bool highlighted) const {
    const int inset = column == LIST_COLUMN_FILES ? FIRST_CELL_INSET : CELL_INSET;
    QString text = listModel->CellText(entry, column);
    const QFontMetrics metrics(painter.font());
    MakeShortString(metrics, text, cell.width(), 2 * inset);
    const QRect textRect = cell.adjusted(inset, 0, -inset, 0);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    if (column != LIST_COLUMN_MACHINE || entry.percent == -1) {
        return;
    }
    const int textRight = textRect.left() + metrics.horizontalAdvance(text);
    const bool largeFonts = CurrentDisplayCaps().largeFonts;
    const QRect bar = RowProgressRect(cell, textRight, largeFonts);
    if (bar.isEmpty()) {
        return;
    }
    const int percent = std::clamp(entry.percent, 0, 100);
    const int done = bar.width() * percent / 100;
    painter.save();
    if (highlighted) {
        painter.fillRect(QRect(bar.left() + done, bar.top(), bar.width() - done, bar.height()),
                         Qt::white);
    } else {
        painter.fillRect(QRect(bar.left(), bar.top(), done, bar.height()), BAR_FILL);
    }
    const int penWidth = (!highlighted && largeFonts) ? 2 : 1;
    QPen outline(highlighted ? Qt::white : Qt::black, penWidth);
    outline.setJoinStyle(Qt::MiterJoin);
    painter.setPen(outline);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(bar.adjusted(0, 0, -1, -1));
    painter.restore();
}

#include "window_fixture.h"

#include "queue/queue_model.h"
#include "ui/file_list_ctrl.h"
#include "ui/file_list_model.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>
#include <gtest/gtest.h>

using uitest::WindowTest;

namespace {

struct MenuState {
    bool remove;
    bool reset;
    bool moreInfo;
    bool resetAll;
    bool tags;
    bool operator==(const MenuState&) const = default;
};

MenuState StateOf(QMenu& menu) {
    auto enabled = [&menu](int id) {
        for (QAction* action : menu.actions()) {
            if (action->data().toInt() == id) {
                return action->isEnabled();
            }
        }
        ADD_FAILURE() << "no item " << id;
        return false;
    };
    return {enabled(ID_DELETE_FROM_LIST), enabled(ID_RESET_STATUS), enabled(ID_MORE_INFO),
            enabled(ID_RESET_ALL), enabled(ID_ID3_TAG_INFO)};
}

} // namespace

class FileList : public WindowTest {
protected:
    void MakeRows(int count) {
        for (int i = 0; i < count; ++i) {
            MakeSeconds(QStringLiteral("row%1.wav").arg(i), 0.1);
        }
        CreateWindow();
        ASSERT_EQ(Model().RowCount(), count);
    }
    QueueModel& Model() { return window->Controller().Model(); }
    void Select(std::initializer_list<int> rows) {
        Model().ClearSelection();
        for (int row : rows) {
            Model().Select(row);
        }
    }
    MenuState Menu() {
        std::unique_ptr<QMenu> menu = window->FileList().BuildContextMenu();
        return StateOf(*menu);
    }
};

TEST_F(FileList, ContextMenuFollowsTheSelectedStatuses) {
    MakeRows(3);
    Model().EntryAt(0)->status = Completed;
    Model().EntryAt(1)->status = Encoding;
    Model().EntryAt(2)->status = Error;

    Select({0, 1});
    EXPECT_EQ(Menu(), (MenuState{false, true, false, true, true})) << "Completed + Encoding";
    Select({1});
    EXPECT_EQ(Menu(), (MenuState{false, false, true, true, true})) << "one Encoding";
    Select({2});
    EXPECT_EQ(Menu(), (MenuState{true, true, false, true, true})) << "one Error";
    Model().EntryAt(2)->status = NotDone;
    EXPECT_EQ(Menu(), (MenuState{true, false, false, true, true})) << "one Not Done";
    Model().EntryAt(0)->status = Paused;
    Select({0, 1});
    EXPECT_EQ(Menu(), (MenuState{false, false, false, true, true})) << "two active rows";

    // The selection follows the queue both ways.
    CFileListCtrl& list = window->FileList();
    EXPECT_EQ(list.selectionModel()->selectedRows().size(), 2);
    list.selectionModel()->select(list.Model().index(2, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(Model().SelectedRows(), std::vector<int>{2});
}

// A hidden column keeps its saved width, and so do the columns beside it.
TEST_F(FileList, HiddenColumnsKeepTheirWidthsAndCellsShowTheirEntry) {
    app->settings.columns = 1;
    app->settings.colWidth = {0, 77, 103, 104, 105, 0, 0, 0};
    MakeRows(1);
    CFileListCtrl& list = window->FileList();
    EXPECT_EQ(list.ShownColumnCount(), 1);
    EXPECT_TRUE(list.IsColumnShown(LIST_COLUMN_FILES));
    EXPECT_EQ(list.header()->sectionSize(0), window->Layout().columnWidths[0]);
    EXPECT_EQ(app->settings.colWidth[0], std::uint32_t(window->Layout().columnWidths[0]));

    app->settings.columns = 31;
    window->RebuildColumns();
    EXPECT_EQ(list.ShownColumnCount(), 5);
    EXPECT_EQ(list.header()->sectionSize(LIST_COLUMN_DIRECTORY), 77);
    list.header()->resizeSection(0, 101);
    list.header()->resizeSection(LIST_COLUMN_DIRECTORY, 102);
    app->settings.columns = 1 | 4 | 8 | 16;
    window->StoreColumnWidths();
    window->RebuildColumns();
    EXPECT_FALSE(list.IsColumnShown(LIST_COLUMN_DIRECTORY));
    app->settings.columns = 31;
    window->StoreColumnWidths();
    window->RebuildColumns();
    for (int column = 0; column < LIST_COLUMN_COUNT; ++column) {
        EXPECT_EQ(list.header()->sectionSize(column), 101 + column) << column;
    }
    window->SaveWindowState();
    EXPECT_EQ(store.values.value("ColWidth4").toInt(), 104);

    // The cells: name, directory, size, machine; an unknown status is shown and stored as Not Done.
    QueueEntry* entry = Model().EntryAt(0);
    entry->machine = QStringLiteral("Studio");
    entry->status = 7;
    FileListModel& cells = list.Model();
    EXPECT_EQ(cells.data(cells.index(0, LIST_COLUMN_FILES)).toString(), "row0");
    EXPECT_EQ(cells.data(cells.index(0, LIST_COLUMN_DIRECTORY)).toString(), sourceDir);
    const QString size = cells.data(cells.index(0, LIST_COLUMN_SIZE)).toString();
    EXPECT_TRUE(size.endsWith("(" + entry->durationText.str() + ")")) << size.toStdString();
    EXPECT_EQ(cells.data(cells.index(0, LIST_COLUMN_MACHINE)).toString(), "Studio");
    EXPECT_EQ(cells.headerData(LIST_COLUMN_MACHINE, Qt::Horizontal).toString(), "Encoding Machine");
    EXPECT_EQ(StatusCell(0), "Not Done");
    EXPECT_EQ(entry->status, NotDone);
}

// Rows come and go one by one: the list keeps its place and the focused row.
TEST_F(FileList, InsertRemoveMoveAndSortNeverResetTheList) {
    MakeRows(40);
    CFileListCtrl& list = window->FileList();
    list.resize(300, 200);
    FileListModel& rows = list.Model();
    int resets = 0;
    QList<QList<int>> changes;
    QObject::connect(&rows, &QAbstractItemModel::modelReset, [&resets] { ++resets; });
    QObject::connect(&rows, &QAbstractItemModel::rowsInserted,
                     [&changes](const QModelIndex&, int first, int last) {
                         changes.append({1, first, last});
                     });
    QObject::connect(&rows, &QAbstractItemModel::rowsRemoved,
                     [&changes](const QModelIndex&, int first, int last) {
                         changes.append({2, first, last});
                     });
    QObject::connect(&rows, &QAbstractItemModel::rowsMoved,
                     [&changes](const QModelIndex&, int from, int, const QModelIndex&, int to) {
                         changes.append({3, from, to});
                     });
    list.scrollTo(rows.index(30, 0));
    const int scrolled = list.verticalScrollBar()->value();
    ASSERT_GT(scrolled, 0);
    Select({30});
    Model().SetFocusRow(30);

    window->Controller().AddFiles({MakeSeconds(QStringLiteral("late.wav"), 0.1)});
    EXPECT_EQ(list.verticalScrollBar()->value(), scrolled);
    EXPECT_EQ(list.currentIndex().row(), 30);
    Select({2});
    window->Controller().OnRemove();
    Select({5});
    window->Controller().OnUp();
    window->Controller().OnHeaderClicked(3);
    EXPECT_EQ(list.currentIndex().row(), Model().FocusRow());
    window->Controller().OnClearAll();
    EXPECT_EQ(resets, 0);
    EXPECT_EQ(changes, (QList<QList<int>>{{1, 40, 40}, {2, 2, 2}, {3, 5, 4}, {2, 0, 39}}));
}

TEST(RowProgress, NeedsTenPixelsAfterTheText) {
    const QRect cell(100, 20, 80, 17);
    EXPECT_EQ(RowProgressRect(cell, 150, false), QRect(QPoint(156, 23), QPoint(179, 33)));
    EXPECT_EQ(RowProgressRect(cell, 150, true), QRect(QPoint(156, 24), QPoint(179, 32)));
    EXPECT_EQ(RowProgressRect(cell, 164, false).width(), 10) << "room for ten pixels";
    EXPECT_TRUE(RowProgressRect(cell, 165, false).isEmpty()) << "room for nine";
}

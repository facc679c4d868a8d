#include "ui/controls/super_list_ctrl.h"

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

QFontMetrics Metrics() {
    return QFontMetrics(QApplication::font());
}

struct ListFixture {
    QWidget window;
    CSuperListCtrl* list = new CSuperListCtrl(&window);
    QPushButton* button = new QPushButton(QStringLiteral("OK"), &window);
    QStandardItemModel model{3, 2};

    ListFixture() {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(list);
        layout->addWidget(button);
        for (int row = 0; row < 3; ++row) {
            model.setItem(row, 0, new QStandardItem(QStringLiteral("file %1").arg(row)));
            model.setItem(row, 1, new QStandardItem(QStringLiteral("dir")));
        }
        list->setModel(&model);
        list->header()->resizeSection(0, 60);
        list->header()->resizeSection(1, 60);
        window.resize(320, 240);
    }

    QColor PixelRightOfColumns(int row) {
        const QImage image = list->viewport()->grab().toImage();
        const QRect rect = list->visualRect(model.index(row, 0));
        return image.pixelColor(280, rect.center().y());
    }
};

} // namespace

TEST(MakeShortString, FittingTextsStayAndOthersEndInAnEllipsisAndFit) {
    const QFontMetrics metrics = Metrics();
    const QString original = QStringLiteral("Encoding Machine");
    const int width = metrics.horizontalAdvance(original);
    QString text = original;
    EXPECT_TRUE(MakeShortString(metrics, text, width + 12, 12));
    EXPECT_EQ(text, original);
    QString empty;
    EXPECT_TRUE(MakeShortString(metrics, empty, 0, 4));
    EXPECT_TRUE(empty.isEmpty());

    QString oneShort = original;
    EXPECT_FALSE(MakeShortString(metrics, oneShort, width + 11, 12));
    EXPECT_TRUE(oneShort.endsWith(QStringLiteral("...")));
    EXPECT_LE(metrics.horizontalAdvance(oneShort) + 12, width + 11);
    // The longest prefix that fits is kept.
    const QString kept = oneShort.chopped(3);
    EXPECT_TRUE(original.startsWith(kept));
    EXPECT_GT(metrics.horizontalAdvance(original.left(kept.size() + 1) + "...") + 12, width + 11);

    QString narrow = original;
    EXPECT_FALSE(MakeShortString(metrics, narrow, 20, 0));
    EXPECT_TRUE(narrow.endsWith(QStringLiteral("...")));
    EXPECT_LE(narrow.size(), 5);
    EXPECT_TRUE(original.startsWith(narrow.chopped(3)));
    QString tooNarrow = original;
    EXPECT_FALSE(MakeShortString(metrics, tooNarrow, 2, 0));
    EXPECT_EQ(tooNarrow, "...");

    // Long texts are cut to the working buffer of 259, then at least one more goes.
    QString longText(400, QLatin1Char('w'));
    const int fits = metrics.horizontalAdvance(QString(300, QLatin1Char('w')) + "...");
    EXPECT_FALSE(MakeShortString(metrics, longText, fits, 0));
    EXPECT_EQ(longText.size(), 258 + 3);
}

TEST(SuperListCtrl, ClientWidthStateOffsetAndTheColoursOfRowsAndSelection) {
    ListFixture fixture;
    CSuperListCtrl& list = *fixture.list;
    EXPECT_EQ(list.ClientWidth(), 0);
    fixture.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&fixture.window));
    EXPECT_EQ(list.ClientWidth(), list.viewport()->width());
    EXPECT_GT(list.ClientWidth(), 200);

    // Full-row selection reports changes only.
    EXPECT_TRUE(list.GetFullRowSel());
    EXPECT_FALSE(list.SetFullRowSel(true));
    EXPECT_TRUE(list.SetFullRowSel(false));
    EXPECT_EQ(list.selectionBehavior(), QAbstractItemView::SelectItems);
    EXPECT_TRUE(list.SetFullRowSel(true));
    EXPECT_EQ(list.selectionBehavior(), QAbstractItemView::SelectRows);

    EXPECT_EQ(list.StateImageOffset(), 0);
    list.SetStateImageSize(QSize(16, 16));
    EXPECT_EQ(list.StateImageOffset(), 16);
    list.SetStateImageSize(QSize());
    EXPECT_EQ(list.StateImageOffset(), 0);

    list.SetTextBkColor(QColor(1, 2, 3));
    // Unselected rows use the text background, also right of the last column.
    EXPECT_EQ(fixture.PixelRightOfColumns(1), QColor(1, 2, 3));

    // The selection reaches the client edge and follows the focus.
    fixture.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&fixture.window));
    list.setFocus();
    list.selectionModel()->select(fixture.model.index(0, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ASSERT_TRUE(list.hasFocus());
    const QColor focused = list.HighlightColor();
    EXPECT_EQ(fixture.PixelRightOfColumns(0), focused);

    fixture.button->setFocus();
    ASSERT_FALSE(list.hasFocus());
    const QColor unfocused = list.HighlightColor();
    EXPECT_NE(unfocused, focused);
    EXPECT_EQ(fixture.PixelRightOfColumns(0), unfocused);

    list.SetClientWidthSel(false);
    list.setFocus();
    EXPECT_NE(fixture.PixelRightOfColumns(0), focused);
}

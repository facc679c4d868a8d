#include "ui/controls/columns_dlg.h"
#include "ui/controls/gallery/gallery.h"
#include "ui/controls/super_list_ctrl.h"

#include "app/strings.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <memory>

namespace {

// Draws cells the way the file list does: inset text shortened with "...".
class ShortTextDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const int inset = index.column() == 0 ? 2 : 6;
        QString text = index.data().toString();
        MakeShortString(option.fontMetrics, text, option.rect.width(), 2 * inset);
        const bool selected = option.state & QStyle::State_Selected;
        painter->save();
        painter->setPen(
            option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(option.rect.adjusted(inset, 0, -inset, 0),
                          Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, text);
        painter->restore();
    }
};

EncoderSettings& DemoSettings() {
    static EncoderSettings settings;
    return settings;
}

std::unique_ptr<QWidget> MakeListPage() {
    auto owner = std::make_unique<QWidget>();
    QWidget* page = owner.get();
    auto* layout = new QHBoxLayout(page);

    auto* list = new CSuperListCtrl(page);
    auto* model = new QStandardItemModel(0, 5, list);
    model->setHorizontalHeaderLabels(
        {ResString(33000), ResString(33001), ResString(33002), ResString(33003), ResString(33031)});
    const char* rows[][5] = {
        {"Overture.wav", "/home/ana/music", "41.3 MB (04:05)", "Completed", ""},
        {"A very long recording name that cannot fit.wav", "/home/ana/music/live",
         "612.0 MB (1:00:40)", "Encoding", "STUDIO-PC"},
        {"Interlude.wav", "/home/ana/music", "8.1 MB (00:48)", "Not Done", ""},
        {"Finale.wav", "/srv/share/recordings/2026/december", "55.9 MB (05:32)", "Error", ""},
    };
    for (const auto& row : rows) {
        QList<QStandardItem*> items;
        for (const char* cell : row) {
            items << new QStandardItem(QString::fromUtf8(cell));
        }
        model->appendRow(items);
    }
    list->setModel(model);
    list->setItemDelegate(new ShortTextDelegate(list));
    const int widths[] = {150, 110, 110, 70, 60};
    for (int column = 0; column < 5; ++column) {
        list->header()->resizeSection(column, widths[column]);
    }
    list->selectionModel()->select(model->index(1, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    list->setMinimumSize(620, 160);
    layout->addWidget(list, 1);

    DemoSettings().columns = 1 | 2 | 8;
    auto* columns = new CColumnsDlg(DemoSettings(), page);
    columns->setWindowFlags(Qt::Widget);
    layout->addWidget(columns, 0, Qt::AlignTop);
    return owner;
}

const GalleryRegistrar registrar("list", MakeListPage);

} // namespace

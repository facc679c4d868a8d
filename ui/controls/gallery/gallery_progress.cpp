#include "gallery.h"

#include "ui/controls/skin_ids.h"
#include "ui/controls/skin_progress.h"

#include <QGridLayout>
#include <QLabel>

namespace {

CSkinProgress* MakeBar(int style, int position, bool text, QWidget* parent) {
    CSkinProgress* bar =
        style == 1 ? new CSkinProgress(1, SKIN_PROGRESS_FULL, SKIN_PROGRESS_EMPTY, 0, 0, parent)
                   : new CSkinProgress(style, 0, 0, 0, 0, parent);
    bar->SetRange(0, 100);
    bar->SetPos(position);
    bar->SetShowText(text);
    if (style == 1) {
        bar->setFixedSize(bar->sizeHint());
    } else {
        bar->setFixedSize(style == 0 ? 240 : 320, 20);
    }
    return bar;
}

std::unique_ptr<QWidget> MakeProgressPage() {
    auto page = MakeGalleryCanvas(QStringLiteral("Progress styles"));
    auto* grid = new QGridLayout(page.get());
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(8);
    const int positions[] = {-5, 0, 7, 33, 67, 100, 130};
    struct Variant {
        int style;
        bool text;
        const char* title;
    };
    const Variant variants[] = {
        {0, false, "style 0, framed cells"}, {0, true, "style 0 with percentage"},
        {2, false, "style 2, flat cells"},   {2, true, "style 2 with percentage"},
        {1, false, "style 1, picture pair"},
    };
    int column = 1;
    for (const Variant& variant : variants) {
        auto* heading = new QLabel(QString::fromUtf8(variant.title));
        grid->addWidget(heading, 0, column++, Qt::AlignCenter);
    }
    int row = 1;
    for (int position : positions) {
        grid->addWidget(new QLabel(QStringLiteral("position %1").arg(position)), row, 0);
        column = 1;
        for (const Variant& variant : variants) {
            grid->addWidget(MakeBar(variant.style, position, variant.text, page.get()), row,
                            column++, Qt::AlignCenter);
        }
        ++row;
    }
    return page;
}

const GalleryRegistrar registrar("progress", MakeProgressPage);

} // namespace

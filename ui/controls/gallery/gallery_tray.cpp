#include "ui/controls/gallery/gallery.h"
#include "ui/controls/tray_icon.h"

#include "app/strings.h"

#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <memory>

namespace {

QLabel* MenuPicture(int state, QWidget* parent) {
    std::unique_ptr<QMenu> menu = CTrayIcon::BuildMenu(state);
    menu->ensurePolished();
    menu->resize(menu->sizeHint());
    auto* label = new QLabel(parent);
    label->setPixmap(menu->grab());
    return label;
}

std::unique_ptr<QWidget> MakeTrayPage() {
    auto owner = std::make_unique<QWidget>();
    QWidget* page = owner.get();
    auto* layout = new QGridLayout(page);

    auto* icons = new QLabel(page);
    const QIcon icon = LoadSkinIcon(IDR_TRAY);
    QPixmap strip(16 + 8 + 32, 32);
    strip.fill(Qt::transparent);
    {
        QPainter painter(&strip);
        icon.paint(&painter, QRect(0, 8, 16, 16));
        icon.paint(&painter, QRect(24, 0, 32, 32));
    }
    icons->setPixmap(strip);
    layout->addWidget(new QLabel(QStringLiteral("Icon 131"), page), 0, 0);
    layout->addWidget(icons, 0, 1);
    layout->addWidget(new QLabel(QStringLiteral("Tip"), page), 1, 0);
    layout->addWidget(new QLabel(ResString(IDR_TRAY).left(TRAY_TIP_LENGTH), page), 1, 1);

    const struct {
        int state;
        const char* caption;
    } states[] = {
        {TRAY_STATE_ENCODING, "Menu while encoding"},
        {TRAY_STATE_PAUSED, "Menu while paused"},
        {TRAY_STATE_IDLE, "Menu when idle"},
    };
    int column = 0;
    for (const auto& entry : states) {
        layout->addWidget(new QLabel(QString::fromLatin1(entry.caption), page), 2, column);
        layout->addWidget(MenuPicture(entry.state, page), 3, column, Qt::AlignTop);
        ++column;
    }
    layout->setRowStretch(4, 1);
    return owner;
}

const GalleryRegistrar registrar("tray", MakeTrayPage);

} // namespace

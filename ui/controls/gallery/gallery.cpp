#include "gallery.h"

#include <QPalette>
#include <algorithm>

namespace {

std::vector<GalleryPage>& Pages() {
    static std::vector<GalleryPage> pages;
    return pages;
}

} // namespace

const std::vector<GalleryPage>& GalleryPages() {
    return Pages();
}

void AddGalleryPage(GalleryPage page) {
    auto& pages = Pages();
    const auto at = std::lower_bound(
        pages.begin(), pages.end(), page.name,
        [](const GalleryPage& existing, const QString& name) { return existing.name < name; });
    pages.insert(at, std::move(page));
}

GalleryRegistrar::GalleryRegistrar(const char* name,
                                   std::function<std::unique_ptr<QWidget>()> create) {
    AddGalleryPage({QString::fromUtf8(name), std::move(create)});
}

QColor GalleryWindowGrey() {
    return QColor(198, 195, 198);
}

std::unique_ptr<QWidget> MakeGalleryCanvas(const QString& title) {
    auto canvas = std::make_unique<QWidget>();
    canvas->setWindowTitle(title);
    QPalette palette = canvas->palette();
    palette.setColor(QPalette::Window, GalleryWindowGrey());
    canvas->setPalette(palette);
    canvas->setAutoFillBackground(true);
    return canvas;
}

#include "ui/controls/gallery/gallery.h"
#include "ui/controls/static_link.h"

#include <QFormLayout>
#include <memory>

namespace {

QWidget* MakeLinkPage() {
    auto* page = new QWidget;
    auto* layout = new QFormLayout(page);
    layout->addRow(
        QStringLiteral("Link"),
        new CStaticLink(QStringLiteral("https://www.example.org/encoder"), QString(), page));
    auto* visited = new CStaticLink(QStringLiteral("Project page"),
                                    QStringLiteral("https://www.example.org/"), page);
    visited->SetVisited(true);
    layout->addRow(QStringLiteral("Visited"), visited);
    return page;
}

const GalleryRegistrar registrar("link", [] { return std::unique_ptr<QWidget>(MakeLinkPage()); });

} // namespace

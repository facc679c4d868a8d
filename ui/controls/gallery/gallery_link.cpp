#include "ui/controls/gallery/gallery.h"
#include "ui/controls/static_link.h"

#include <QFormLayout>
#include <memory>

namespace {

std::unique_ptr<QWidget> MakeLinkPage() {
    auto owner = std::make_unique<QWidget>();
    QWidget* page = owner.get();
    auto* layout = new QFormLayout(page);
    layout->addRow(
        QStringLiteral("Link"),
        new CStaticLink(QStringLiteral("https://www.example.org/encoder"), QString(), page));
    auto* visited = new CStaticLink(QStringLiteral("Project page"),
                                    QStringLiteral("https://www.example.org/"), page);
    visited->SetVisited(true);
    layout->addRow(QStringLiteral("Visited"), visited);
    return owner;
}

const GalleryRegistrar registrar("link", MakeLinkPage);

} // namespace

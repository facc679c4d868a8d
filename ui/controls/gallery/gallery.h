#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

// One page of the gallery: a component shown in all its states. The factory
// builds a fresh top-level widget; the page name is also the screenshot's
// file name. For screenshots a page's layout gets no size constraint and the
// page its size hint; a page should not fix its own window size (the
// offscreen platform warns about it, and warnings fail the screenshot run).
struct GalleryPage {
    QString name;
    std::function<std::unique_ptr<QWidget>()> create;
};

// Pages in name order.
const std::vector<GalleryPage>& GalleryPages();
void AddGalleryPage(GalleryPage page);

// Registers a page from its own source file:
//   static const GalleryRegistrar registrar("buttons", [] { return ...; });
struct GalleryRegistrar {
    GalleryRegistrar(const char* name, std::function<std::unique_ptr<QWidget>()> create);
};

// The window grey of the skin, the usual page background.
QColor GalleryWindowGrey();
// A top-level page widget painted in the window grey.
std::unique_ptr<QWidget> MakeGalleryCanvas(const QString& title);

#pragma once

#include <QString>
#include <QWidget>
#include <functional>

struct GalleryPage {
    QString name;
    std::function<QWidget*()> make;
};

bool RegisterGalleryPage(GalleryPage page);

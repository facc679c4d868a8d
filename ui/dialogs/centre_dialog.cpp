#include "ui/dialogs/centre_dialog.h"

#include <QWidget>

void CentreOverOwner(QWidget& dialog, const QWidget* owner) {
    if (owner == nullptr) {
        return;
    }
    dialog.adjustSize();
    const QRect frame = owner->frameGeometry();
    dialog.move(frame.center() - dialog.rect().center());
}

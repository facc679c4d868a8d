#include "ui/controls/static_link.h"

#include <QCursor>
#include <QDesktopServices>
#include <QFile>
#include <QMouseEvent>
#include <QPixmap>
#include <QUrl>

CStaticLink::CStaticLink(const QString& text, const QString& linkTarget, QWidget* parent)
    : QLabel(text, parent), target(linkTarget.left(LINK_TARGET_LENGTH)) {
    setTextFormat(Qt::PlainText);
    setCursor(HandCursor());
    ApplyLook();
}

const QCursor& CStaticLink::HandCursor() {
    static const QCursor cursor = [] {
        const QString path = QStringLiteral(":/skin/%1.png").arg(IDC_HAND);
        if (QFile::exists(path)) {
            QPixmap pixmap(path);
            if (!pixmap.isNull()) {
                // The pointing finger's tip is near the top, a third from the left.
                return QCursor(pixmap, pixmap.width() / 3, 0);
            }
        }
        return QCursor(Qt::PointingHandCursor);
    }();
    return cursor;
}

bool CStaticLink::OpenOnDesktop(const QString& linkTarget) {
    return QDesktopServices::openUrl(QUrl::fromUserInput(linkTarget));
}

void CStaticLink::SetVisited(bool visited) {
    colour = visited ? VisitedColour() : UnvisitedColour();
    ApplyLook();
}

void CStaticLink::ApplyLook() {
    applyingLook = true;
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    QPalette colours = palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        colours.setColor(group, QPalette::WindowText, colour);
    }
    setPalette(colours);
    setAutoFillBackground(false);
    adjustSize();
    applyingLook = false;
    update();
}

void CStaticLink::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    // A font set from outside keeps the underline.
    if (event->type() == QEvent::FontChange && !applyingLook && !font().underline()) {
        ApplyLook();
    }
}

void CStaticLink::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QLabel::mousePressEvent(event);
        return;
    }
    if (target.isEmpty()) {
        target = text().left(LINK_TARGET_LENGTH);
    }
    if (!target.isEmpty()) {
        if (open) {
            open(target);
        }
        SetVisited(true);
    }
    event->accept();
}

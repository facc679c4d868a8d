#include "ui/controls/caption_painter.h"
#include "ui/controls/gallery/gallery.h"
#include "ui/controls/tray_icon.h"

#include "app/messages.h"

#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>
#include <memory>

namespace {

// A frameless window that paints its own caption.
class CaptionDemoWindow : public QWidget {
public:
    explicit CaptionDemoWindow(QWidget* owner = nullptr)
        : QWidget(owner, Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint) {
        setWindowIcon(LoadSkinIcon(128));
        captionPainter.Install(this, MSG_PAINT_CAPTION);
        auto* layout = new QVBoxLayout(this);
        auto* text = new QTextEdit(this);
        text->setPlainText(QStringLiteral("Drag the caption to move the window, its edges to "
                                          "resize it; the buttons minimise, maximise and close."));
        layout->addWidget(text);
        resize(460, 160);
    }

    QPixmap Picture(bool active) {
        QEvent state(active ? QEvent::WindowActivate : QEvent::WindowDeactivate);
        QCoreApplication::sendEvent(this, &state);
        return grab();
    }

protected:
    bool event(QEvent* event) override {
        if (captionHandler.HandleEvent(event, MSG_PAINT_CAPTION)) {
            return true;
        }
        return QWidget::event(event);
    }

private:
    CCaptionPainter captionPainter;
    CaptionPaintHandler captionHandler;
};

std::unique_ptr<QWidget> MakeCaptionPage() {
    auto owner = std::make_unique<QWidget>();
    QWidget* page = owner.get();
    auto* layout = new QVBoxLayout(page);
    auto* sample = new CaptionDemoWindow(page);
    layout->addWidget(new QLabel(QStringLiteral("Active"), page));
    auto* active = new QLabel(page);
    active->setPixmap(sample->Picture(true));
    layout->addWidget(active);
    layout->addWidget(new QLabel(QStringLiteral("Inactive"), page));
    auto* inactive = new QLabel(page);
    inactive->setPixmap(sample->Picture(false));
    layout->addWidget(inactive);

    auto* open = new QPushButton(QStringLiteral("Open a window with a painted caption"), page);
    QObject::connect(open, &QPushButton::clicked, page, [page] {
        auto* window = new CaptionDemoWindow(page);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
    });
    layout->addWidget(open);
    layout->addStretch(1);
    return owner;
}

const GalleryRegistrar registrar("caption", MakeCaptionPage);

} // namespace

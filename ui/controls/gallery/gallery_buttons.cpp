#include "gallery.h"

#include "ui/controls/bitmaps.h"
#include "ui/controls/skin_button.h"
#include "ui/controls/skin_ids.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>

namespace {

// A button frozen in one draw state, so every state can be seen at once.
class StillButton : public CSkinButton {
public:
    StillButton(const QString& text, const SkinDrawState& state, QWidget* parent)
        : CSkinButton(text, parent), still(state) {
        setEnabled(!state.disabled);
    }

protected:
    SkinDrawState DrawState() const override { return still; }

private:
    SkinDrawState still;
};

// The face under the Encode button carries its halo, as the main window draws it.
class HaloPlate : public QWidget {
public:
    explicit HaloPlate(QWidget* parent) : QWidget(parent), halo(LoadResourceBitmap(254)) {
        setFixedSize(halo.size() + QSize(16, 12));
    }
    QRect ButtonPlace(QSize buttonSize) const {
        return QRect(
            QPoint((width() - buttonSize.width()) / 2, (height() - buttonSize.height()) / 2),
            buttonSize);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.drawPixmap((width() - halo.width()) / 2, (height() - halo.height()) / 2, halo);
    }

private:
    QPixmap halo;
};

QLabel* Heading(const QString& text) {
    auto* label = new QLabel(text);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

StillButton* MakeButton(const SkinButtonSet& set, const SkinDrawState& state, QWidget* parent) {
    auto* button = new StillButton(QString::fromUtf8(set.caption), state, parent);
    const bool imageOnly = set.caption[0] == '\0';
    StyleMainWindowButton(*button, imageOnly);
    button->SetBitmaps(set.Normal(), set.Pressed(), set.Disabled(), set.Focused(), 0, false,
                       !imageOnly);
    if (imageOnly) {
        button->setFixedSize(button->Picture(SKIN_NORMAL).size() + QSize(8, 8));
    } else {
        button->setFixedSize(button->Picture(SKIN_NORMAL).size());
    }
    return button;
}

std::unique_ptr<QWidget> MakeButtonsPage() {
    auto page = MakeGalleryCanvas(QStringLiteral("Skinned buttons"));
    auto* grid = new QGridLayout(page.get());
    grid->setHorizontalSpacing(14);
    grid->setVerticalSpacing(6);
    const QStringList states = {QStringLiteral("normal"), QStringLiteral("hover"),
                                QStringLiteral("focused"), QStringLiteral("pressed"),
                                QStringLiteral("disabled")};
    for (int column = 0; column < states.size(); ++column) {
        grid->addWidget(Heading(states[column]), 0, column);
    }
    std::array<SkinDrawState, 5> drawStates{};
    drawStates[1].hovering = true;
    drawStates[2].focused = true;
    drawStates[3].pressed = true;
    drawStates[3].focused = true;
    drawStates[4].disabled = true;

    // Captioned buttons side by side in rows of states, image-only ones after.
    int row = 1;
    for (const SkinButtonSet& set : MAIN_WINDOW_BUTTONS) {
        if (set.caption[0] == '\0') {
            continue;
        }
        for (size_t column = 0; column < drawStates.size(); ++column) {
            grid->addWidget(MakeButton(set, drawStates[column], page.get()), row,
                            static_cast<int>(column), Qt::AlignCenter);
        }
        ++row;
    }
    for (const SkinButtonSet& set : MAIN_WINDOW_BUTTONS) {
        if (set.caption[0] != '\0') {
            continue;
        }
        for (size_t column = 0; column < drawStates.size(); ++column) {
            grid->addWidget(MakeButton(set, drawStates[column], page.get()), row,
                            static_cast<int>(column), Qt::AlignCenter);
        }
        ++row;
    }

    // The Encode button on its halo, the way the main window shows it.
    auto* plate = new HaloPlate(page.get());
    const SkinButtonSet& encode = MAIN_WINDOW_BUTTONS[4];
    auto* button = MakeButton(encode, SkinDrawState{}, plate);
    button->setGeometry(plate->ButtonPlace(button->size()));
    grid->addWidget(Heading(QStringLiteral("Encode on its halo")), row, 0, 1, 2);
    grid->addWidget(plate, row, 2, Qt::AlignCenter);
    return page;
}

const GalleryRegistrar registrar("buttons", MakeButtonsPage);

} // namespace

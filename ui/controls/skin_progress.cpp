#include "ui/controls/skin_progress.h"

#include "ui/controls/bitmaps.h"
#include "ui/controls/display_caps.h"
#include "ui/controls/fonts.h"

#include <QFontMetrics>
#include <QPainter>
#include <cmath>

namespace {

const QColor CELL_YELLOW(255, 255, 0);
const QColor CELL_TEAL(0, 127, 127);
const QColor LIGHT_GREY(192, 192, 192);
const QColor FRAME_GREY(128, 128, 128);
constexpr double CELL_RATIO = 0.5988023952095809;
constexpr int DEFAULT_PICTURE_CELLS = 18;

} // namespace

int PointsToHeight(double points) {
    return FontHeightForPoints(points, CurrentDisplayCaps().dotsPerInch);
}

double ProgressFraction(int position, int minimum, int maximum) {
    if (position < minimum) {
        return 0.0;
    }
    if (position > maximum) {
        return 1.0;
    }
    if (maximum <= minimum) {
        return 0.0;
    }
    return static_cast<double>(position - minimum) / static_cast<double>(maximum - minimum);
}

CSkinProgress::CSkinProgress(int styleIn, int fullPictureId, int emptyPictureId, int cellWidthIn,
                             int cellCountIn, QWidget* parent)
    : QWidget(parent), style(styleIn == 1 || styleIn == 2 ? styleIn : 0) {
    percentFont = MakeDisplayFont(QStringLiteral("Tahoma"), 9, 700);
    if (style == 1 && fullPictureId != 0 && emptyPictureId != 0) {
        fullPicture = LoadResourceBitmap(fullPictureId, this);
        emptyPicture = LoadResourceBitmap(emptyPictureId, this);
    }
    if (style == 1 && !fullPicture.isNull() && !emptyPicture.isNull()) {
        resize(emptyPicture.size());
        fullOffset = QPoint((emptyPicture.width() - fullPicture.width()) / 2,
                            (emptyPicture.height() - fullPicture.height()) / 2);
        if (cellWidthIn == 0) {
            cellCount = cellCountIn == 0 ? DEFAULT_PICTURE_CELLS : cellCountIn;
            cellWidth = fullPicture.width() / cellCount;
        } else {
            cellWidth = cellWidthIn;
            cellCount = fullPicture.width() / cellWidth;
        }
    }
    Layout();
}

QSize CSkinProgress::sizeHint() const {
    if (style == 1 && !emptyPicture.isNull()) {
        return emptyPicture.size();
    }
    return QSize(200, 20);
}

void CSkinProgress::SetShowText(bool show) {
    showText = show;
    Layout();
    update();
}

void CSkinProgress::SetRange(int a, int b) {
    minimum = qMin(a, b);
    maximum = qMax(a, b);
    update();
}

void CSkinProgress::SetPos(int pos) {
    position = pos;
    update();
}

void CSkinProgress::SetBackColour(const QColor& colour) {
    backColour = colour;
    savedBackground = QPixmap();
    update();
}

int CSkinProgress::FilledCells() const {
    EnsureLayout();
    const int top = maximum == 0 ? 100 : maximum;
    return static_cast<int>(std::floor(cellCount * ProgressFraction(position, minimum, top)));
}

QString CSkinProgress::PercentText() const {
    const int top = maximum == 0 ? 100 : maximum;
    const int percent = static_cast<int>(ProgressFraction(position, minimum, top) * 100.0);
    return QStringLiteral("%1%").arg(percent);
}

void CSkinProgress::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    savedBackground = QPixmap();
    Layout();
}

void CSkinProgress::EnsureLayout() const {
    if (laidOutSize != size() || laidOutText != showText) {
        Layout();
    }
}

void CSkinProgress::Layout() const {
    laidOutSize = size();
    laidOutText = showText;
    textRect = rect();
    barRect = rect();
    if (showText) {
        const QFontMetrics metrics(percentFont);
        const int textWidth = metrics.horizontalAdvance(QStringLiteral("100%"));
        textRect = QRect(0, 0, textWidth, height());
        barRect.setLeft(textRect.left() + textWidth + 2);
    }
    const int barHeight = barRect.height();
    // Edges as Windows keeps them: right and bottom exclusive.
    const int barLeft = barRect.left();
    const int barRight = barRect.left() + barRect.width();
    if (style == 0) {
        cellWidth = static_cast<int>(barHeight * CELL_RATIO);
        cellHeight = cellWidth;
        gap = (barHeight - cellHeight) / 2;
        cellCount = gap + cellWidth > 0 ? (barRight - gap - barLeft) / (gap + cellWidth) : 0;
        cellCount = qMax(cellCount, 0);
        leftMargin = (barRight - (gap + cellWidth) * cellCount - gap - barLeft) / 2;
    } else if (style == 2) {
        cellWidth = static_cast<int>(barHeight * 0.5);
        gap = 2;
        leftMargin = 1;
        cellHeight = barHeight - 5;
        cellCount = static_cast<int>(
            std::floor(static_cast<double>(barRect.width() - gap) / (cellWidth + gap)));
        // Too low for a cell of any height: nothing to draw.
        cellCount = cellWidth > 0 && cellHeight > 0 ? qMax(cellCount, 0) : 0;
    }
}

void CSkinProgress::CaptureBackground() {
    const qreal ratio = devicePixelRatioF();
    savedBackground = QPixmap(size() * ratio);
    savedBackground.setDevicePixelRatio(ratio);
    if (backColour.isValid()) {
        savedBackground.fill(backColour);
        return;
    }
    QWidget* parent = parentWidget();
    savedBackground.fill((parent != nullptr ? parent : this)->palette().color(QPalette::Window));
    if (parent != nullptr) {
        parent->render(&savedBackground, QPoint(), QRegion(geometry()),
                       QWidget::DrawWindowBackground);
    }
}

void CSkinProgress::PaintPictures(QPainter& painter) const {
    if (emptyPicture.isNull() || fullPicture.isNull()) {
        return;
    }
    painter.drawPixmap(0, 0, emptyPicture);
    const int filledWidth = qMin(FilledCells() * cellWidth, fullPicture.width());
    if (filledWidth > 0) {
        painter.drawPixmap(fullOffset, fullPicture, QRect(0, 0, filledWidth, fullPicture.height()));
    }
}

void CSkinProgress::PaintCells(QPainter& painter) const {
    const int filled = FilledCells();
    const int barLeft = barRect.left();
    const int barTop = barRect.top();
    const int barRight = barRect.left() + barRect.width();
    const int barBottom = barRect.top() + barRect.height();
    if (style == 0) {
        // Sunken frame: black on the left and top, light grey 2 pixels on the
        // bottom and right.
        painter.fillRect(QRect(barLeft, barTop, barRect.width(), 1), Qt::black);
        painter.fillRect(QRect(barLeft, barTop, 1, barRect.height()), Qt::black);
        painter.fillRect(QRect(barLeft, barBottom - 2, barRect.width(), 2), LIGHT_GREY);
        painter.fillRect(QRect(barRight - 2, barTop, 2, barRect.height()), LIGHT_GREY);
        int x = barLeft + leftMargin + gap;
        const int y = barTop + gap;
        for (int cell = 0; cell < cellCount; ++cell) {
            painter.fillRect(QRect(x, y, cellWidth, 1), LIGHT_GREY);
            painter.fillRect(QRect(x + cellWidth - 1, y, 1, cellHeight), LIGHT_GREY);
            painter.fillRect(QRect(x, y, 1, cellHeight), Qt::black);
            painter.fillRect(QRect(x, y + cellHeight - 1, cellWidth, 1), Qt::black);
            if (cell < filled) {
                painter.fillRect(QRect(x + 1, y + 1, cellWidth - 2, cellHeight - 2), CELL_YELLOW);
            }
            x += cellWidth + gap;
        }
        return;
    }
    // Style 2: a thin 3D rectangle, then only the filled cells.
    painter.fillRect(QRect(barLeft, barTop, barRect.width(), 1), FRAME_GREY);
    painter.fillRect(QRect(barLeft, barTop, 1, barRect.height()), FRAME_GREY);
    painter.fillRect(QRect(barLeft, barBottom - 1, barRect.width(), 1), Qt::white);
    painter.fillRect(QRect(barRight - 1, barTop, 1, barRect.height()), Qt::white);
    const int limit = barRight - gap - leftMargin - 1;
    int x = barLeft + gap + leftMargin;
    const int y = barTop + 2;
    for (int cell = 0; cell < filled && x <= limit; ++cell) {
        const int right = qMin(x + cellWidth, limit);
        if (right > x) {
            painter.fillRect(QRect(x, y, right - x, cellHeight), CELL_TEAL);
        }
        x += cellWidth + gap;
    }
}

void CSkinProgress::paintEvent(QPaintEvent*) {
    EnsureLayout();
    const qreal ratio = devicePixelRatioF();
    QPixmap canvas(size() * ratio);
    canvas.setDevicePixelRatio(ratio);
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        if (style == 1) {
            PaintPictures(painter);
        } else {
            if (savedBackground.isNull()) {
                CaptureBackground();
            }
            painter.drawPixmap(0, 0, savedBackground);
            if (showText) {
                painter.setFont(percentFont);
                painter.setPen(textColour);
                painter.drawText(textRect, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                                 PercentText());
            }
            PaintCells(painter);
        }
    }
    QPainter screen(this);
    screen.drawPixmap(0, 0, canvas);
}

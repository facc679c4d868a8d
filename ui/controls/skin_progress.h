#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QWidget>

// Font height for a point size on this display: minus points x dpi / 72,
// truncated towards zero (8 points at 96 dpi give -10).
int PointsToHeight(double points);

// How much of the range is done: 0 below the minimum, 1 above the maximum.
// An empty range counts as not started.
double ProgressFraction(int position, int minimum, int maximum);

// A progress indicator drawn as a row of cells, optionally with a percentage.
// Styles: 0 framed yellow cells, 1 a full/empty picture pair, 2 flat teal cells.
class CSkinProgress : public QWidget {
    Q_OBJECT

public:
    CSkinProgress(int style, int fullPictureId = 0, int emptyPictureId = 0, int cellWidth = 0,
                  int cellCount = 0, QWidget* parent = nullptr);

    void SetShowText(bool show);
    void SetRange(int a, int b);
    void SetPos(int position);
    void SetBackColour(const QColor& colour); // invalid = none
    void SetTextColour(const QColor& colour) { textColour = colour; }

    int Style() const { return style; }
    int Minimum() const { return minimum; }
    int Maximum() const { return maximum; }
    int Pos() const { return position; }
    int CellCount() const {
        EnsureLayout();
        return cellCount;
    }
    int CellWidth() const {
        EnsureLayout();
        return cellWidth;
    }
    int CellHeight() const {
        EnsureLayout();
        return cellHeight;
    }
    int Gap() const {
        EnsureLayout();
        return gap;
    }
    int LeftMargin() const {
        EnsureLayout();
        return leftMargin;
    }
    QRect BarRect() const {
        EnsureLayout();
        return barRect;
    }
    QRect TextRect() const {
        EnsureLayout();
        return textRect;
    }
    int FilledCells() const;
    QString PercentText() const;
    // Forgets the captured background, so the next paint takes it again.
    void ResetBackground() { savedBackground = QPixmap(); }

    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // The geometry follows the current size even before any resize event
    // has been delivered (a hidden widget gets its resize event only at show).
    void EnsureLayout() const;
    void Layout() const;
    void CaptureBackground();
    void PaintCells(QPainter& painter) const;
    void PaintPictures(QPainter& painter) const;

    int style;
    int minimum = 0;
    int maximum = 100;
    int position = 0;
    mutable int cellCount = 0;
    mutable int cellWidth = 0;
    mutable int cellHeight = 0;
    mutable int gap = 0;
    mutable int leftMargin = 0;
    mutable QRect barRect;
    mutable QRect textRect;
    mutable QSize laidOutSize{-1, -1};
    mutable bool laidOutText = false;
    QFont percentFont;
    QColor textColour{0, 0, 0};
    QColor backColour;
    bool showText = false;
    QPixmap savedBackground;
    QPixmap fullPicture;
    QPixmap emptyPicture;
    QPoint fullOffset;
};

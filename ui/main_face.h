#pragma once

#include <QPixmap>
#include <QRect>
#include <QWidget>

// Window grey: the face, the static controls' background and the progress bar.
inline const QColor WINDOW_GREY(198, 195, 198);

// The main window's face below the caption: the grey ground, the band across
// the top, the frame around the file list, the picture behind the Encode
// button and the size grip. The window tells it where list and button are.
class CMainFace : public QWidget {
    Q_OBJECT

public:
    CMainFace(bool largeFonts, double scale, QWidget* parent = nullptr);

    void SetListRect(const QRect& rect);
    void SetEncodeRect(const QRect& rect);
    void SetShowGrip(bool show);
    QRect GripRect() const;
    QRect EncodePictureRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QPixmap Load(int id) const;
    void PaintListFrame(QPainter& painter) const;

    double scale;
    QPixmap band;
    QPixmap halo;
    QPixmap grip;
    QPixmap corners[4]; // top left, top right, bottom left, bottom right
    QPixmap ornament;
    QPixmap edges[4]; // top, left, right, bottom
    QRect listRect;
    QRect encodeRect;
    bool showGrip = true;
};

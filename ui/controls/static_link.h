#pragma once

#include <QColor>
#include <QLabel>
#include <QString>
#include <functional>

inline constexpr int LINK_TARGET_LENGTH = 259;
inline constexpr unsigned IDC_HAND = 370;

// A static text that behaves like a hyperlink: underlined, blue until it has
// been opened and purple afterwards, a hand cursor, and a click opens the
// target (or, without one, the text itself) on the desktop.
class CStaticLink : public QLabel {
    Q_OBJECT
public:
    explicit CStaticLink(const QString& text = QString(), const QString& target = QString(),
                         QWidget* parent = nullptr);

    static QColor UnvisitedColour() { return QColor(0, 0, 255); }
    static QColor VisitedColour() { return QColor(128, 0, 128); }

    QString Target() const { return target; }
    void SetTarget(const QString& newTarget) { target = newTarget.left(LINK_TARGET_LENGTH); }
    QColor Colour() const { return colour; }
    void SetVisited(bool visited);

    // Opens a target; the default asks the desktop. Tests replace it.
    using Opener = std::function<bool(const QString&)>;
    void SetOpener(Opener opener) { open = std::move(opener); }
    static bool OpenOnDesktop(const QString& target);

    // The process-wide hand cursor, loaded at first use.
    static const QCursor& HandCursor();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void ApplyLook();

    QString target;
    QColor colour = UnvisitedColour();
    Opener open = &CStaticLink::OpenOnDesktop;
    bool applyingLook = false;
};

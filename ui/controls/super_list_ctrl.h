#pragma once

#include <QColor>
#include <QFontMetrics>
#include <QString>
#include <QTreeView>

inline constexpr int SHORT_STRING_LENGTH = 259;

// Shortens `text` in place so that its width plus `offset` fits `columnWidth`,
// ending it with "...". True when the text already fitted and was left alone.
bool MakeShortString(const QFontMetrics& metrics, QString& text, int columnWidth, int offset);

// A report-view list of fixed-height rows that selects whole rows, highlights
// them up to the client's right edge and keeps its own colours. It draws no
// cells of its own: lists that derive from it draw the rows with these members.
class CSuperListCtrl : public QTreeView {
    Q_OBJECT
public:
    explicit CSuperListCtrl(QWidget* parent = nullptr);

    // Returns whether the selection style changed.
    bool SetFullRowSel(bool fullRow);
    bool GetFullRowSel() const { return fullRowSel; }
    void SetClientWidthSel(bool clientWidth);
    bool GetClientWidthSel() const { return clientWidthSel; }
    int ClientWidth() const { return clientWidth; }

    // State images are drawn left of the first column's text; none gives 0.
    void SetStateImageSize(QSize iconSize);
    int StateImageOffset() const { return stateImageOffset; }

    void SetTextColor(const QColor& colour);
    void SetTextBkColor(const QColor& colour);
    void SetBkColor(const QColor& colour);
    QColor TextColor() const { return textColour; }
    QColor TextBkColor() const { return textBkColour; }
    QColor BkColor() const { return bkColour; }

    void RepaintSelectedItems();
    // Highlight colours for the current focus: greyed when the list is unfocused.
    QColor HighlightColor() const;
    QColor HighlightTextColor() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;

private:
    void ApplyColours();
    QRect RowStrip(const QModelIndex& index) const;

    bool fullRowSel = true;
    bool clientWidthSel = true;
    int clientWidth = 0;
    int stateImageOffset = 0;
    QColor textColour;
    QColor textBkColour;
    QColor bkColour;
};

#pragma once

#include <QLineEdit>
#include <QRect>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>

class CIPAddrCtl;

// One of the four fields: up to three digits, centred.
class CIPAddrEdit : public QLineEdit {
    Q_OBJECT
public:
    CIPAddrEdit(CIPAddrCtl* control, int fieldIndex);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    CIPAddrCtl* control;
    int fieldIndex;
};

// An IPv4 address as four decimal fields separated by dots.
class CIPAddrCtl : public QWidget {
    Q_OBJECT
public:
    // The record exchanged with the owner: the four bytes, most significant
    // first, and the 1-based number of the field that failed (0 on success).
    struct Address {
        std::array<std::uint8_t, 4> bytes{};
        std::uint32_t failingField = 0;
    };

    static constexpr int FIELD_COUNT = 4;
    // Style bit: no range check while typing.
    static constexpr unsigned STYLE_NO_VALIDATE = 1;

    explicit CIPAddrCtl(QWidget* parent = nullptr, unsigned style = 0);

    // Validates and returns the address; on failure the failing field gets
    // the focus with its text selected, and with `showErrors` the user is told.
    bool GetAddress(bool showErrors, Address& address);
    bool SetAddress(const std::array<std::uint8_t, 4>& bytes);
    bool SetReadOnly(bool readOnly);

    bool IsReadOnly() const { return readOnly; }
    CIPAddrEdit* Field(int index) const { return fields[index]; }
    QRect DotRect(int index) const { return dots[index]; }

    // Error messages; the default shows a warning box captioned "Error".
    using ErrorReporter = std::function<void(const QString&)>;
    void SetErrorReporter(ErrorReporter reporter) { reportError = std::move(reporter); }

    static QString RangeMessage(int value);
    static QString MissingMessage();

    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    friend class CIPAddrEdit;
    void LayoutFields();
    void ApplyColours();
    void FocusField(int index, bool selectText);
    // After an accepted character: a full field is checked and left.
    void FieldTyped(int index);
    // Pasted text: digits go into the field; a dotted address (or its tail)
    // fills it and the fields after it. Anything else is refused whole.
    void PasteInto(int index, const QString& text);
    // Moves the focus to the dialog control before or after this one.
    void FocusNeighbour(bool next);
    void CancelOuterDialog(QKeyEvent* event);
    void ShowError(const QString& message);

    std::array<CIPAddrEdit*, FIELD_COUNT> fields{};
    std::array<QRect, FIELD_COUNT - 1> dots;
    unsigned style;
    bool readOnly = false;
    ErrorReporter reportError;
};

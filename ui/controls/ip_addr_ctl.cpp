#include "ui/controls/ip_addr_ctl.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>

namespace {

constexpr int EDGE = 2; // the sunken client edge

// The number made of the text's leading decimal digits; -1 when there are none.
int LeadingNumber(const QString& text) {
    int value = -1;
    for (QChar c : text) {
        if (!c.isDigit() || c.unicode() > '9') {
            break;
        }
        value = (value < 0 ? 0 : value) * 10 + (c.unicode() - '0');
        if (value > 99999) {
            break;
        }
    }
    return value;
}

} // namespace

CIPAddrEdit::CIPAddrEdit(CIPAddrCtl* owner, int index)
    : QLineEdit(owner), control(owner), fieldIndex(index) {
    setMaxLength(3);
    // Nothing but digits gets in, whether typed, pasted or dropped.
    setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), this));
    setAlignment(Qt::AlignCenter);
    setFrame(false);
    setFocusPolicy(Qt::ClickFocus);
}

bool CIPAddrEdit::event(QEvent* event) {
    // Tab leaves the whole control rather than stepping through the fields.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ControlModifier)) {
            control->FocusNeighbour(!(key->modifiers() & Qt::ShiftModifier));
            return true;
        }
        if (key->key() == Qt::Key_Backtab) {
            control->FocusNeighbour(false);
            return true;
        }
    }
    return QLineEdit::event(event);
}

void CIPAddrEdit::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Paste)) {
        control->PasteInto(fieldIndex, QGuiApplication::clipboard()->text());
        return;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Left to the dialog, which presses its default button.
        event->ignore();
        return;
    case Qt::Key_Escape:
        control->CancelOuterDialog(event);
        return;
    case Qt::Key_Left:
        if (cursorPosition() == 0 && !hasSelectedText() && fieldIndex > 0) {
            CIPAddrEdit* previous = control->fields[fieldIndex - 1];
            previous->setFocus(Qt::OtherFocusReason);
            previous->deselect();
            previous->setCursorPosition(previous->text().size());
            return;
        }
        QLineEdit::keyPressEvent(event);
        return;
    case Qt::Key_Right:
        if (cursorPosition() == text().size() && !hasSelectedText() &&
            fieldIndex < CIPAddrCtl::FIELD_COUNT - 1) {
            CIPAddrEdit* next = control->fields[fieldIndex + 1];
            next->setFocus(Qt::OtherFocusReason);
            next->deselect();
            next->setCursorPosition(0);
            return;
        }
        QLineEdit::keyPressEvent(event);
        return;
    default:
        break;
    }

    const QString typed = event->text();
    if (typed.isEmpty()) {
        // Arrows, Home, Delete and the like.
        QLineEdit::keyPressEvent(event);
        return;
    }
    const QChar c = typed.at(0);
    if (c == QLatin1Char('.') || c == QLatin1Char(' ')) {
        if (fieldIndex < CIPAddrCtl::FIELD_COUNT - 1) {
            control->FocusField(fieldIndex + 1, true);
        }
        return;
    }
    const bool digit = c.unicode() >= '0' && c.unicode() <= '9';
    const bool controlChar = c.category() == QChar::Other_Control;
    if (!digit && !controlChar && !(event->modifiers() & Qt::ControlModifier)) {
        QApplication::beep();
        return;
    }
    QLineEdit::keyPressEvent(event);
    if (!isReadOnly()) {
        control->FieldTyped(fieldIndex);
    }
}

CIPAddrCtl::CIPAddrCtl(QWidget* parent, unsigned controlStyle)
    : QWidget(parent), style(controlStyle) {
    for (int i = 0; i < FIELD_COUNT; ++i) {
        fields[i] = new CIPAddrEdit(this, i);
    }
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::IBeamCursor);
    setContentsMargins(EDGE, EDGE, EDGE, EDGE);
    ApplyColours();
    LayoutFields();
}

QString CIPAddrCtl::RangeMessage(int value) {
    return QStringLiteral("%1 is not a valid entry.  Please specify a value between 0 and 255 "
                          "for this field.")
        .arg(value);
}

QString CIPAddrCtl::MissingMessage() {
    return QStringLiteral("Missing value in IP address");
}

QSize CIPAddrCtl::sizeHint() const {
    const QFontMetrics metrics(font());
    const int field = metrics.horizontalAdvance(QStringLiteral("0000"));
    const int dot = metrics.horizontalAdvance(QLatin1Char('.'));
    return QSize(4 * field + 3 * dot + 2 * EDGE, metrics.height() + 4 + 2 * EDGE);
}

void CIPAddrCtl::LayoutFields() {
    const QRect client = contentsRect();
    const int dotWidth = QFontMetrics(font()).horizontalAdvance(QLatin1Char('.'));
    const int fieldWidth = std::max(0, (client.width() - 3 * dotWidth) / 4);
    int x = client.left();
    const int top = client.top() + EDGE;
    const int height = std::max(0, client.bottom() + 1 - top);
    for (int i = 0; i < FIELD_COUNT; ++i) {
        fields[i]->setGeometry(x, top, fieldWidth, height);
        x += fieldWidth;
        if (i < FIELD_COUNT - 1) {
            dots[i] = QRect(x, top, dotWidth, height);
            x += dotWidth;
        }
    }
}

void CIPAddrCtl::ApplyColours() {
    const QPalette base = QApplication::palette(this);
    const QColor background = isEnabled() && !readOnly
                                  ? base.color(QPalette::Active, QPalette::Base)
                                  : base.color(QPalette::Active, QPalette::Button);
    QPalette colours = palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colours.setColor(group, QPalette::Base, background);
        colours.setColor(group, QPalette::Window, background);
    }
    setPalette(colours);
    for (CIPAddrEdit* field : fields) {
        field->setPalette(colours);
    }
}

void CIPAddrCtl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutFields();
}

void CIPAddrCtl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.lineWidth = EDGE;
    frame.state |= QStyle::State_Sunken;
    QApplication::style()->drawPrimitive(QStyle::PE_Frame, &frame, &painter, this);

    painter.setPen(isEnabled()
                       ? QApplication::palette(this).color(QPalette::Active, QPalette::Text)
                       : QApplication::palette(this).color(QPalette::Disabled, QPalette::Text));
    painter.setFont(font());
    for (const QRect& dot : dots) {
        painter.drawText(dot, Qt::AlignHCenter | Qt::AlignBottom | Qt::TextSingleLine,
                         QStringLiteral("."));
    }
}

void CIPAddrCtl::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    FocusField(0, true);
}

void CIPAddrCtl::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        ApplyColours();
        update();
    } else if (event->type() == QEvent::FontChange) {
        for (CIPAddrEdit* field : fields) {
            field->setFont(font());
        }
        LayoutFields();
    }
}

void CIPAddrCtl::FocusField(int index, bool selectText) {
    CIPAddrEdit* field = fields[index];
    field->setFocus(Qt::OtherFocusReason);
    if (selectText) {
        field->selectAll();
    }
}

void CIPAddrCtl::FieldTyped(int index) {
    CIPAddrEdit* field = fields[index];
    if (field->text().size() != 3) {
        return;
    }
    if (!(style & STYLE_NO_VALIDATE)) {
        const int value = LeadingNumber(field->text());
        if (value > 255) {
            ShowError(RangeMessage(value));
            FocusField(index, true);
            return;
        }
    }
    if (index < FIELD_COUNT - 1) {
        FocusField(index + 1, true);
    }
}

void CIPAddrCtl::PasteInto(int index, const QString& text) {
    const QStringList parts = text.trimmed().split(QLatin1Char('.'));
    // One field may be emptied; an address needs a number in every field.
    const auto isField = [&parts](const QString& part) {
        return part.size() <= 3 && (parts.size() == 1 || !part.isEmpty()) &&
               std::all_of(part.begin(), part.end(),
                           [](QChar c) { return c.unicode() >= '0' && c.unicode() <= '9'; });
    };
    if (readOnly || parts.size() > FIELD_COUNT - index ||
        !std::all_of(parts.begin(), parts.end(), isField)) {
        QApplication::beep();
        return;
    }
    if (parts.size() == 1) {
        fields[index]->insert(parts.front()); // its validator keeps it to three digits
        FieldTyped(index);
        return;
    }
    const int last = index + int(parts.size()) - 1;
    for (int i = index; i <= last; ++i) {
        fields[i]->setText(parts[i - index]);
    }
    for (int i = index; i <= last && !(style & STYLE_NO_VALIDATE); ++i) {
        if (const int value = LeadingNumber(fields[i]->text()); value > 255) {
            ShowError(RangeMessage(value));
            FocusField(i, true);
            return;
        }
    }
    FocusField(last, false);
    fields[last]->end(false);
}

bool CIPAddrCtl::GetAddress(bool showErrors, Address& address) {
    address.failingField = 0;
    std::array<std::uint8_t, 4> bytes{};
    for (int i = 0; i < FIELD_COUNT; ++i) {
        const QString text = fields[i]->text();
        const int value = LeadingNumber(text);
        if (text.isEmpty() || value < 0 || value > 255) {
            address.failingField = std::uint32_t(i + 1);
            if (showErrors) {
                ShowError(text.isEmpty() || value < 0 ? MissingMessage() : RangeMessage(value));
            }
            FocusField(i, true);
            return false;
        }
        bytes[i] = std::uint8_t(value);
    }
    address.bytes = bytes;
    return true;
}

bool CIPAddrCtl::SetAddress(const std::array<std::uint8_t, 4>& bytes) {
    for (int i = 0; i < FIELD_COUNT; ++i) {
        fields[i]->setText(QString::number(unsigned(bytes[i])));
    }
    return true;
}

bool CIPAddrCtl::SetReadOnly(bool makeReadOnly) {
    readOnly = makeReadOnly;
    for (CIPAddrEdit* field : fields) {
        field->setReadOnly(makeReadOnly);
    }
    ApplyColours();
    update();
    return true;
}

void CIPAddrCtl::ShowError(const QString& message) {
    if (reportError) {
        reportError(message);
        return;
    }
    QMessageBox::warning(this, QStringLiteral("Error"), message);
}

void CIPAddrCtl::FocusNeighbour(bool next) {
    QWidget* candidate = this;
    // The focus chain is circular; stop after one full turn.
    for (int guard = 0; guard < 1000; ++guard) {
        candidate = next ? candidate->nextInFocusChain() : candidate->previousInFocusChain();
        if (!candidate || candidate == this) {
            return;
        }
        if (isAncestorOf(candidate) || candidate->window() != window()) {
            continue;
        }
        if ((candidate->focusPolicy() & Qt::TabFocus) && candidate->isEnabled() &&
            candidate->isVisibleTo(window())) {
            candidate->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return;
        }
    }
}

void CIPAddrCtl::CancelOuterDialog(QKeyEvent* event) {
    QWidget* inner = parentWidget();
    while (inner && !qobject_cast<QDialog*>(inner)) {
        inner = inner->parentWidget();
    }
    QWidget* outer = inner ? inner->parentWidget() : nullptr;
    while (outer && !qobject_cast<QDialog*>(outer)) {
        outer = outer->parentWidget();
    }
    if (inner && outer && !inner->isWindow()) {
        static_cast<QDialog*>(outer)->reject();
        return;
    }
    event->ignore();
}

#include "ui/controls/ip_addr_ctl.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStringList>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct IpFixture {
    QDialog dialog;
    QLineEdit* before = new QLineEdit(&dialog);
    CIPAddrCtl* control;
    QLineEdit* after = new QLineEdit(&dialog);
    QStringList errors;

    explicit IpFixture(unsigned style = 0) : control(new CIPAddrCtl(&dialog, style)) {
        auto* layout = new QHBoxLayout(&dialog);
        layout->addWidget(before);
        layout->addWidget(control);
        layout->addWidget(after);
        QWidget::setTabOrder(before, control);
        QWidget::setTabOrder(control, after);
        control->SetErrorReporter([this](const QString& message) { errors << message; });
        dialog.show();
        dialog.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
        control->setFocus();
    }

    // Types into whichever widget has the focus, as a user would.
    void Type(const QString& keys) {
        for (QChar c : keys) {
            QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
        }
    }

    int FocusedField() const {
        for (int i = 0; i < CIPAddrCtl::FIELD_COUNT; ++i) {
            if (control->Field(i)->hasFocus()) {
                return i;
            }
        }
        return -1;
    }

    QStringList Texts() const {
        QStringList texts;
        for (int i = 0; i < CIPAddrCtl::FIELD_COUNT; ++i) {
            texts << control->Field(i)->text();
        }
        return texts;
    }
};

} // namespace

TEST(IPAddrCtl, TypingAdvancesAndValidatesFullFields) {
    IpFixture fixture;
    ASSERT_EQ(fixture.FocusedField(), 0);
    fixture.Type(QStringLiteral("192"));
    EXPECT_EQ(fixture.FocusedField(), 1);
    fixture.Type(QStringLiteral("300"));
    EXPECT_EQ(fixture.errors, QStringList{"300 is not a valid entry.  Please specify a value "
                                          "between 0 and 255 for this field."});
    EXPECT_EQ(fixture.FocusedField(), 1);
    EXPECT_EQ(fixture.control->Field(1)->selectedText(), "300");

    // Letters are refused; "." moves on; nothing happens past the last field.
    fixture.Type(QStringLiteral("16a8x0.1."));
    EXPECT_EQ(fixture.Texts(), (QStringList{"192", "168", "0", "1"}));
    EXPECT_EQ(fixture.FocusedField(), 3);

    CIPAddrCtl::Address address;
    EXPECT_TRUE(fixture.control->GetAddress(true, address));
    EXPECT_EQ(address.bytes, (std::array<std::uint8_t, 4>{192, 168, 0, 1}));
    EXPECT_EQ(address.failingField, 0u);
}

TEST(IPAddrCtl, PasteTakesDigitsOnlyAndSpreadsADottedAddress) {
    IpFixture fixture;
    auto paste = [&](const char* text, int field) {
        QApplication::clipboard()->setText(QString::fromLatin1(text));
        QTest::keySequence(fixture.control->Field(field), QKeySequence::Paste);
    };
    paste("1.2.3.4", 0);
    EXPECT_EQ(fixture.Texts(), (QStringList{"1", "2", "3", "4"}));
    EXPECT_EQ(fixture.FocusedField(), 3);
    fixture.control->Field(1)->selectAll();
    for (const char* refused : {"7x", "1.2.3.4", "1234", ".."}) {
        paste(refused, 1);
        EXPECT_EQ(fixture.control->Field(1)->text(), "2") << refused;
    }
    paste("10.20", 2);
    EXPECT_EQ(fixture.Texts(), (QStringList{"1", "2", "10", "20"}));
    fixture.control->Field(0)->insert(QStringLiteral("9x")); // as the menu's Paste or a drop
    EXPECT_EQ(fixture.control->Field(0)->text(), "1");
    EXPECT_TRUE(fixture.errors.isEmpty());
}

TEST(IPAddrCtl, GetAddressNamesTheFirstFailingField) {
    IpFixture fixture;
    fixture.Type(QStringLiteral("10..0.1"));
    EXPECT_EQ(fixture.Texts(), (QStringList{"10", "", "0", "1"}));
    CIPAddrCtl::Address address;
    address.failingField = 9;
    EXPECT_FALSE(fixture.control->GetAddress(true, address));
    EXPECT_EQ(address.failingField, 2u);
    EXPECT_EQ(fixture.errors, QStringList{"Missing value in IP address"});
    EXPECT_EQ(fixture.FocusedField(), 1);

    fixture.control->Field(1)->setText(QStringLiteral("7"));
    fixture.control->Field(2)->setText(QStringLiteral("256"));
    EXPECT_FALSE(fixture.control->GetAddress(true, address));
    EXPECT_EQ(address.failingField, 3u);
    EXPECT_TRUE(fixture.errors.last().startsWith(QStringLiteral("256 is not a valid entry.")));
    EXPECT_EQ(fixture.FocusedField(), 2);
    EXPECT_EQ(fixture.control->Field(2)->selectedText(), "256");

    // Without errors shown the result and the field are the same, but quiet.
    EXPECT_FALSE(fixture.control->GetAddress(false, address));
    EXPECT_EQ(address.failingField, 3u);
    EXPECT_EQ(fixture.errors.size(), 2);
}

TEST(IPAddrCtl, SetAddressAndReadOnly) {
    IpFixture fixture;
    EXPECT_TRUE(fixture.control->SetAddress({10, 0, 0, 1}));
    EXPECT_EQ(fixture.Texts(), (QStringList{"10", "0", "0", "1"}));

    const QColor base = QApplication::palette().color(QPalette::Active, QPalette::Base);
    const QColor face = QApplication::palette().color(QPalette::Active, QPalette::Button);
    auto dotGapColour = [&] {
        const QImage image = fixture.control->grab().toImage();
        return image.pixelColor(fixture.control->DotRect(0).center().x(), 4);
    };
    EXPECT_EQ(dotGapColour(), base);

    EXPECT_TRUE(fixture.control->SetReadOnly(true));
    EXPECT_EQ(dotGapColour(), face);
    fixture.control->setFocus();
    fixture.Type(QStringLiteral("99"));
    EXPECT_EQ(fixture.Texts(), (QStringList{"10", "0", "0", "1"}));
    EXPECT_TRUE(fixture.errors.isEmpty());

    fixture.control->SetReadOnly(false);
    EXPECT_EQ(dotGapColour(), base);
    fixture.control->setEnabled(false);
    EXPECT_EQ(dotGapColour(), face);
}

TEST(IPAddrCtl, NoValidationStyleAcceptsAnyThreeDigits) {
    IpFixture fixture(CIPAddrCtl::STYLE_NO_VALIDATE);
    fixture.Type(QStringLiteral("300"));
    EXPECT_TRUE(fixture.errors.isEmpty());
    EXPECT_EQ(fixture.FocusedField(), 1);
}

TEST(IPAddrCtl, ArrowsAndTabMoveBetweenFieldsAndControlsAndEnterAndEscapeReachTheDialog) {
    IpFixture fixture;
    fixture.control->SetAddress({1, 22, 33, 4});
    fixture.control->setFocus();
    CIPAddrEdit* first = fixture.control->Field(0);
    first->deselect();
    first->setCursorPosition(1);
    QTest::keyClick(first, Qt::Key_Right);
    EXPECT_EQ(fixture.FocusedField(), 1);
    EXPECT_FALSE(fixture.control->Field(1)->hasSelectedText());
    QTest::keyClick(fixture.control->Field(1), Qt::Key_Right);
    EXPECT_EQ(fixture.FocusedField(), 1);
    QTest::keyClick(fixture.control->Field(1), Qt::Key_Home);
    QTest::keyClick(fixture.control->Field(1), Qt::Key_Left);
    EXPECT_EQ(fixture.FocusedField(), 0);

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_TRUE(fixture.after->hasFocus());
    fixture.control->Field(2)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(fixture.before->hasFocus());

    // Enter and Escape reach the dialog.
    auto* ok = new QPushButton(QStringLiteral("OK"), &fixture.dialog);
    ok->setDefault(true);
    ok->show();
    QSignalSpy clicks(ok, &QPushButton::clicked);
    QTest::keyClick(fixture.control->Field(0), Qt::Key_Return);
    EXPECT_EQ(clicks.size(), 1);
    QTest::keyClick(fixture.control->Field(0), Qt::Key_Escape);
    EXPECT_EQ(fixture.dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(fixture.dialog.isVisible());
}

#include "ui/controls/static_link.h"

#include <QStringList>
#include <QTest>
#include <gtest/gtest.h>

TEST(StaticLink, LooksLikeALinkAndAClickOpensTheTargetOrItsText) {
    QStringList opened;
    auto record = [&opened](const QString& target) {
        opened << target;
        return true;
    };

    CStaticLink plain(QStringLiteral("https://example.org/a"));
    plain.SetOpener(record);
    EXPECT_TRUE(plain.font().underline());
    EXPECT_EQ(plain.palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(plain.cursor().shape(), CStaticLink::HandCursor().shape());
    EXPECT_GE(plain.width(), plain.fontMetrics().horizontalAdvance(plain.text()));
    // A font set later keeps the underline.
    plain.setFont(QFont(QStringLiteral("Sans"), 14));
    EXPECT_TRUE(plain.font().underline());
    QTest::mouseClick(&plain, Qt::RightButton);
    EXPECT_TRUE(opened.isEmpty());
    QTest::mouseClick(&plain, Qt::LeftButton);
    EXPECT_EQ(opened, QStringList{"https://example.org/a"});
    EXPECT_EQ(plain.Target(), "https://example.org/a");
    EXPECT_EQ(plain.palette().color(QPalette::WindowText), QColor(128, 0, 128));

    CStaticLink withTarget(QStringLiteral("Our home page"),
                           QStringLiteral("https://example.org/b"));
    withTarget.SetOpener(record);
    QTest::mouseClick(&withTarget, Qt::LeftButton);
    EXPECT_EQ(opened.last(), "https://example.org/b");

    CStaticLink empty;
    empty.SetOpener(record);
    QTest::mouseClick(&empty, Qt::LeftButton);
    EXPECT_EQ(opened.size(), 2);
    EXPECT_EQ(empty.Colour(), CStaticLink::UnvisitedColour());

    CStaticLink longTarget(QString(300, QLatin1Char('x')));
    longTarget.SetOpener(record);
    QTest::mouseClick(&longTarget, Qt::LeftButton);
    EXPECT_EQ(opened.last().size(), LINK_TARGET_LENGTH);
}

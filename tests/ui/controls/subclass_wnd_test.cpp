#include "ui/controls/subclass_wnd.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

namespace {

constexpr auto PROBE = static_cast<QEvent::Type>(QEvent::User + 77);

QStringList journal;

class ProbeWindow : public QWidget {
protected:
    bool event(QEvent* event) override {
        if (event->type() == PROBE) {
            journal << QStringLiteral("window");
            return true;
        }
        return QWidget::event(event);
    }
};

class NamedHook : public CSubclassWnd {
public:
    explicit NamedHook(QString name, bool swallow = false)
        : name(std::move(name)), swallow(swallow) {}

protected:
    bool WindowProc(QEvent* event) override {
        if (event->type() != PROBE) {
            return Default();
        }
        journal << name;
        if (swallow) {
            return true;
        }
        const bool result = Default();
        journal << name + QStringLiteral(" after");
        return result;
    }

private:
    QString name;
    bool swallow;
};

QStringList Deliver(QWidget& window) {
    journal.clear();
    QEvent probe(PROBE);
    QCoreApplication::sendEvent(&window, &probe);
    return journal;
}

} // namespace

TEST(SubclassWnd, ChainRunsNewestFirstAndRemovingEitherHookKeepsTheOtherWorking) {
    ProbeWindow window;
    {
        NamedHook older(QStringLiteral("older"));
        NamedHook newer(QStringLiteral("newer"));
        EXPECT_TRUE(older.HookWindow(&window));
        EXPECT_TRUE(newer.HookWindow(&window));
        EXPECT_EQ(Deliver(window),
                  (QStringList{"newer", "older", "window", "older after", "newer after"}));
        newer.HookWindow(nullptr);
        EXPECT_FALSE(newer.IsHooked());
        EXPECT_EQ(Deliver(window), (QStringList{"older", "window", "older after"}));
        older.HookWindow(nullptr);
        EXPECT_FALSE(CSubclassWnd::HasHooks(&window));
        EXPECT_EQ(Deliver(window), QStringList{"window"});
    }
    {
        NamedHook older(QStringLiteral("older"));
        NamedHook newer(QStringLiteral("newer"));
        older.HookWindow(&window);
        newer.HookWindow(&window);
        older.HookWindow(nullptr);
        EXPECT_EQ(Deliver(window), (QStringList{"newer", "window", "newer after"}));
        // A hook added now links behind the remaining one.
        NamedHook third(QStringLiteral("third"));
        third.HookWindow(&window);
        EXPECT_EQ(Deliver(window),
                  (QStringList{"third", "newer", "window", "newer after", "third after"}));
    }
    // Hooks that go out of scope leave the chain.
    EXPECT_FALSE(CSubclassWnd::HasHooks(&window));
    EXPECT_EQ(Deliver(window), QStringList{"window"});
    // A hook that swallows the event stops the chain.
    NamedHook older(QStringLiteral("older"));
    NamedHook swallower(QStringLiteral("newer"), true);
    older.HookWindow(&window);
    swallower.HookWindow(&window);
    EXPECT_EQ(Deliver(window), QStringList{"newer"});
}

TEST(SubclassWnd, DestroyingTheWindowUnhooksEverything) {
    auto window = std::make_unique<ProbeWindow>();
    NamedHook first(QStringLiteral("first"));
    NamedHook second(QStringLiteral("second"));
    first.HookWindow(window.get());
    second.HookWindow(window.get());
    const QWidget* address = window.get();
    window.reset();
    EXPECT_FALSE(first.IsHooked());
    EXPECT_FALSE(second.IsHooked());
    EXPECT_FALSE(CSubclassWnd::HasHooks(address));
    // A fresh window is hooked from scratch.
    ProbeWindow another;
    first.HookWindow(&another);
    EXPECT_EQ(Deliver(another), (QStringList{"first", "window", "first after"}));
}

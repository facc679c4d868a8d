#include "ui/dialogs/options_command.h"

#include "controller/main_controller.h"
#include "modal_driver.h"
#include "queue/main_view.h"
#include "queue/wave_probe.h"
#include "support/app_sandbox.h"
#include "support/fake_encoder.h"
#include "support/recording_view.h"

#include <QDialog>
#include <QSlider>
#include <gtest/gtest.h>

namespace {

class OptionsCommand : public testsupport::AppSandbox {
protected:
    void SetUp() override {
        AppSandbox::SetUp();
        controller = std::make_unique<MainController>(
            *app, view, MainController::Ports{fake, fake, ReadWaveFacts, nullptr, &clock});
    }

    void TearDown() override {
        controller.reset();
        AppSandbox::TearDown();
    }

    testsupport::RecordingView view;
    testsupport::FakeEncoder fake;
    testsupport::ManualClock clock;
    std::unique_ptr<MainController> controller;
};

} // namespace

TEST_F(OptionsCommand, APriorityChangeReachesTheRunningEncode) {
    MakeWav("song.wav");
    controller->Startup();
    controller->OnEncode();
    ASSERT_EQ(fake.starts.size(), 1u);

    dialogtest::OnNextModal([](QWidget* modal) {
        modal->findChild<QSlider*>("1017")->setValue(3);
        qobject_cast<QDialog*>(modal)->accept();
    });
    RunOptionsDialog(nullptr, *app, nullptr, *controller, nullptr);
    EXPECT_EQ(fake.priorities, std::vector<int>{3});

    // Cancelled: nothing changed, nothing applied.
    dialogtest::OnNextModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    RunOptionsDialog(nullptr, *app, nullptr, *controller, nullptr);
    EXPECT_EQ(fake.priorities, std::vector<int>{3});
}

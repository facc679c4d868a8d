#pragma once

#include "engine_fixture.h"
#include "engines/library_binding.h"
#include "support/outside_tools.h"

// Engine tests that encode with the real encoder libraries, loaded once per suite.
class LibraryEngineTest : public EngineTest {
protected:
    static void SetUpTestSuite() {
        SetEncoderLibraryDirectory(BinDirectory(), false);
        LoadEncoderLibraries();
    }
    static void TearDownTestSuite() {
        UnloadEncoderLibraries();
        SetEncoderLibraryDirectory(QString());
    }
};

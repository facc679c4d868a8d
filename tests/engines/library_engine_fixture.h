#pragma once

#include "engine_fixture.h"
#include "engines/library_binding.h"

#include <QCoreApplication>
#include <cstdlib>

// Where the encoder libraries and x3enc were built; CORVANE_BIN_DIR wins.
inline QString BinDirectory() {
    const char* fromTest = std::getenv("CORVANE_BIN_DIR");
    return fromTest != nullptr && *fromTest ? QString::fromLocal8Bit(fromTest)
                                            : QCoreApplication::applicationDirPath();
}

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

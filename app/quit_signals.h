#pragma once

#include <functional>

// Turns SIGINT and SIGTERM into a call of `onQuit` on the main thread, so an
// interrupted program still cancels its work and saves its settings. Needs a
// running Qt event loop to deliver; call once.
bool InstallQuitSignalHandlers(std::function<void()> onQuit);
// The last of SIGINT or SIGTERM that arrived; 0 before any.
int LastQuitSignal();

#pragma once

// The diagnostic trace: one line per event, "HH:MM:SS " followed by the
// caller's text (callers end it with a line feed). Lines are written to
// "debug.txt" in the current directory only while tracing is enabled ("-log").
// Safe to call from any thread.
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

void SetTraceEnabled(bool enabled);
bool IsTraceEnabled();

// The last line formatted, written or not (for tests).
const char* LastTraceLine();

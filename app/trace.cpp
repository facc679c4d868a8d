#include "app/trace.h"

#include <array>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace {

constexpr std::size_t TRACE_BUFFER_SIZE = 8192;

std::mutex traceMutex;
std::array<char, TRACE_BUFFER_SIZE> traceBuffer{};
std::atomic<bool> traceEnabled{false};

} // namespace

void SetTraceEnabled(bool enabled) {
    traceEnabled = enabled;
}

bool IsTraceEnabled() {
    return traceEnabled;
}

const char* LastTraceLine() {
    return traceBuffer.data();
}

void Trace(const char* format, ...) {
    std::lock_guard lock(traceMutex);
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::snprintf(traceBuffer.data(), traceBuffer.size(), "%02d:%02d:%02d ", local.tm_hour,
                  local.tm_min, local.tm_sec);
    va_list args;
    va_start(args, format);
    std::vsnprintf(traceBuffer.data() + 9, traceBuffer.size() - 9, format, args);
    va_end(args);
    if (!traceEnabled) {
        return;
    }
    if (std::FILE* file = std::fopen("debug.txt", "a+")) {
        std::fseek(file, 0, SEEK_END);
        std::fputs(traceBuffer.data(), file);
        std::fclose(file);
    }
}

#include "headless/report.h"

#include "headless/json_report.h"
#include "headless/text_report.h"

#include <chrono>

qint64 SteadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::unique_ptr<HeadlessReport> MakeHeadlessReport(const HeadlessOutput& output) {
    if (output.format == OutputFormat::Json) {
        return std::make_unique<HeadlessJsonReport>(output);
    }
    return std::make_unique<HeadlessTextReport>(output);
}

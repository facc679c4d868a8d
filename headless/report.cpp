#include "headless/report.h"

#include "headless/json_report.h"
#include "headless/text_report.h"

std::unique_ptr<HeadlessReport> MakeHeadlessReport(const HeadlessOutput& output) {
    if (output.format == OutputFormat::Json) {
        return std::make_unique<HeadlessJsonReport>(output);
    }
    return std::make_unique<HeadlessTextReport>(output);
}

#pragma once

#include "headless/report.h"

#include <vector>

class ProgressDisplay;
class QueueModel;
struct BatchState;

// Each file running on this machine, in row order, with the batch figures the
// window's progress area shows; none when no file runs here.
std::vector<ProgressSample> SampleProgress(const QueueModel& model, const BatchState& batch,
                                           const ProgressDisplay& progress);

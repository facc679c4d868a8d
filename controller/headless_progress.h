#pragma once

#include "controller/headless_report.h"

class ProgressDisplay;
class QueueModel;
struct BatchState;

// The file running on this machine and the batch, with the figures the
// window's progress area shows; false when no file runs here.
bool SampleProgress(const QueueModel& model, const BatchState& batch,
                    const ProgressDisplay& progress, ProgressSample* sample);

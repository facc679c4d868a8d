#pragma once

#include "queue/admission.h"

// The wave reader's verdict on a file, as admission needs it.
bool ReadWaveFacts(const QString& path, WaveFacts* facts);

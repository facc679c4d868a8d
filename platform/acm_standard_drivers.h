#pragma once

#include "platform/acm_driver.h"

#include <memory>
#include <vector>

// The codecs this system offers: one driver per libavcodec encoder that has
// a registered wave format tag and is present in the installed libavcodec.
std::vector<std::shared_ptr<AcmDriver>> MakeStandardAcmDrivers();

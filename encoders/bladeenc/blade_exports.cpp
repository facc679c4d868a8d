#include "encoders/bladeenc/shine_stream.h"
#include "encoders/library_exports.h"

CORVANE_DEFINE_ENCODER_EXPORTS(ShineStream, "https://github.com/toots/shine")

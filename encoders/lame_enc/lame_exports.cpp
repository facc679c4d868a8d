#include "encoders/lame_enc/lame_stream.h"
#include "encoders/library_exports.h"

CORVANE_DEFINE_ENCODER_EXPORTS(LameStream, LameStream::Homepage())
CORVANE_DEFINE_INFO_TAG_EXPORT(LameStream)

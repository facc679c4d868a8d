#pragma once

#include <QString>
#include <cstdint>
#include <functional>

struct EncodeJob;
struct UncMapping;

// Whether this client's catalogue has the job's encoder and format.
using CodecLookup = std::function<bool(const EncodeJob& job)>;

// The client's answer to NET_CANENCODE once it is free for a job: the codec
// (before any file is touched), then the source read through its local path,
// then a probe file "lkj.lkj" created in the output directory and removed
// again. An existing file of the probe's name is never touched; a private
// probe is used instead. Paths map through the mounts of the server at
// `serverAddress`; a path that does not map is answered like an unreadable
// one, and `unmapped` (when given) receives why.
std::uint32_t CheckCanEncode(const EncodeJob& job, const CodecLookup& hasCodec,
                             const QString& serverAddress = QString(),
                             UncMapping* unmapped = nullptr);

#pragma once

#include "tags/id3_tag_record.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <string>

// The only door to the tag library. Nothing it throws gets out: a failure
// reads as "no tag" or "nothing rendered". Callers check the file's head
// (InspectHead) before handing a file over.

// The six frames of the file's ID3v2 tag, or of its ID3v1 trailer where the
// ID3v2 tag lacks them; nullopt when the file holds no frames at all.
std::optional<ID3TagRecord> ReadID3Frames(const QString& path);

struct RenderedID3v2 {
    std::string bytes;               // the whole new ID3v2 tag, padding included
    std::uint64_t replacedBytes = 0; // size of the ID3v2 tag it replaces (0: none)
    std::size_t parsedFrames = 0;    // frames the library read from that tag
};

// The file's ID3v2 tag with the six frames set to the record's text (empty
// text included) and the track when there is one, rendered as version 2.3
// with padding and without unsynchronisation; other frames of the tag are
// kept. Text that Latin-1 cannot hold is written as UTF-16. Nothing is written.
std::optional<RenderedID3v2> RenderID3v2(const QString& path, const ID3TagRecord& record);

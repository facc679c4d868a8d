#pragma once

#include "tags/id3_tag_record.h"

#include <cstdint>
#include <optional>
#include <span>

// The record's frames of an ID3v2.3 or 2.4 tag (`tag` starts with its
// header), read without the tag library, which parses no frame of version
// 2.4: title, artist, album, year (TYER, or TDRC's first four characters),
// genre (a bare number n becomes "(n)"), comment and track. Frames it cannot
// read safely (compressed, encrypted, cut short) are skipped. Nullopt when
// the tag holds none of these.
std::optional<ID3TagRecord> ReadID3v2TextFrames(std::span<const std::uint8_t> tag);

// How many frames the body of the tag holds, of any kind; -1 when it is no
// ID3v2.3 or 2.4 tag.
int CountID3v2Frames(std::span<const std::uint8_t> tag);

#pragma once

#include "tags/id3_tag_record.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <span>

// The tags a WAV file carries itself, as rippers and editors write them: an
// ID3v2 tag in an `id3 ` chunk, and the LIST/INFO texts (INAM title, IART
// artist, IPRD album, ICRD year, IGNR genre, ICMT comment, ITRK or IPRT
// track), which fill what the ID3 tag leaves empty. Nullopt when the file
// has neither, or they say nothing.
std::optional<ID3TagRecord> ReadSourceTags(const QString& wavPath);

// The INFO texts of a LIST chunk's body (after its "INFO" form type) laid
// over `record` where its fields are empty; true when any was taken.
bool ReadInfoTexts(std::span<const std::uint8_t> body, ID3TagRecord& record);

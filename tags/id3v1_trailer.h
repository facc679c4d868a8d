#pragma once

#include "tags/id3_tag_record.h"

#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

inline constexpr std::size_t ID3V1_SIZE = 128;
using ID3v1Block = std::array<std::uint8_t, ID3V1_SIZE>;

// The number in a genre text "(n...": its leading decimal digits (none give
// 0), saturating rather than overflowing; nullopt when the text does not
// begin with "(".
std::optional<std::uint32_t> GenreNumberInParentheses(std::string_view genre);

// The 128-byte trailer: "TAG", title, artist and album in Latin-1 (see
// Latin1Fallback) cut to 29 characters in 30-byte fields, the year's four
// bytes as they stand, the comment cut to 29 characters (28 and the track
// number in the last byte when there is one, as version 1.1 has it), and the
// genre byte ("(n)" gives n's low eight bits, no genre or one in words 255).
ID3v1Block BuildID3v1Block(const ID3TagRecord& record);

// Replaces the file's ID3v1 trailer or appends one. False when the file is
// missing or cannot be updated; a failed append leaves the file as it was.
bool WriteID3v1Tag(const QString& mp3Path, const ID3TagRecord& record);

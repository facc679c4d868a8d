#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// What sits at the head of a file, judged from its bytes before any tag
// library sees them. The library trusts sizes and flags it reads; a tag that
// would lead it astray is classed as damaged and left alone.
enum class HeadKind {
    NoTag,   // no "ID3" header: audio (or anything else) starts at byte 0
    Tag,     // a well-formed ID3v2 tag of `tagSize` bytes
    Damaged, // an "ID3" header whose sizes, frames or flags cannot be trusted
};

struct HeadLayout {
    HeadKind kind = HeadKind::NoTag;
    std::uint64_t tagSize = 0; // header, body and footer; 0 without a tag
    int version = 0;           // 2, 3 or 4 for a tag
};

inline constexpr std::size_t ID3V2_HEADER_SIZE = 10;

// `head` holds the first bytes of the file: at least the whole tag when there
// is one (else the check says Damaged); `fileSize` is the whole file's length.
HeadLayout InspectHead(std::span<const std::uint8_t> head, std::uint64_t fileSize);

// The declared size of the tag at the head (header, body, footer), or 0 when
// the first bytes are no ID3v2 header at all. Tells how much to read.
std::uint64_t DeclaredTagSize(std::span<const std::uint8_t> head);

// True when `bytes` begin with an MPEG audio frame sync.
bool StartsWithFrameSync(std::span<const std::uint8_t> bytes);

// Undoes unsynchronisation (each 0xFF 0x00 becomes 0xFF): the whole body of a
// version 2 or 3 tag, or one version 4 frame.
std::vector<std::uint8_t> Resynchronise(std::span<const std::uint8_t> bytes);

#include "tags/id3v2_layout.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void Append(Bytes& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
}

Bytes Tag(int version, std::uint8_t flags, const Bytes& body) {
    Bytes tag = {'I', 'D', '3', std::uint8_t(version), 0, flags};
    const std::size_t size = body.size();
    for (int shift : {21, 14, 7, 0}) {
        tag.push_back(std::uint8_t((size >> shift) & 0x7F));
    }
    tag.insert(tag.end(), body.begin(), body.end());
    return tag;
}

// A version 3 frame: id, big-endian size, flags.
Bytes Frame3(const std::string& id, const Bytes& data, std::uint8_t flags2 = 0) {
    Bytes frame;
    Append(frame, id);
    for (int shift : {24, 16, 8, 0}) {
        frame.push_back(std::uint8_t((data.size() >> shift) & 0xFF));
    }
    frame.push_back(0);
    frame.push_back(flags2);
    frame.insert(frame.end(), data.begin(), data.end());
    return frame;
}

HeadKind KindOf(const Bytes& head) {
    return InspectHead(head, head.size() + 1000).kind;
}

} // namespace

TEST(HeadLayout, WellFormedTagsOfEveryVersionAreAccepted) {
    const Bytes text = {0, 'h', 'i'};
    Bytes body = Frame3("TIT2", text);
    body.resize(body.size() + 20, 0); // padding
    const Bytes v3 = Tag(3, 0, body);
    EXPECT_EQ(InspectHead(v3, v3.size()).kind, HeadKind::Tag);
    EXPECT_EQ(InspectHead(v3, v3.size()).tagSize, v3.size());

    // Version 2: three-character ids, three-byte sizes.
    Bytes v2body = {'T', 'T', '2', 0, 0, 3, 0, 'h', 'i'};
    EXPECT_EQ(KindOf(Tag(2, 0, v2body)), HeadKind::Tag);

    // Version 4: sync-safe frame sizes (200 = 0x01 0x48) and a footer.
    Bytes v4body = {'T', 'I', 'T', '2', 0, 0, 0x01, 0x48, 0, 0};
    v4body.push_back(0); // text encoding
    v4body.resize(v4body.size() + 199, 'x');
    Bytes v4 = Tag(4, 0x10, v4body);
    const std::size_t withoutFooter = v4.size();
    v4.resize(withoutFooter + 10, 0);
    EXPECT_EQ(InspectHead(v4, v4.size()).kind, HeadKind::Tag);
    EXPECT_EQ(InspectHead(v4, v4.size()).tagSize, withoutFooter + 10);

    // Unsynchronised version 3: frame sizes count the bytes after resynchronising.
    Bytes unsynced;
    Append(unsynced, "TIT2");
    unsynced.insert(unsynced.end(), {0, 0, 0, 3, 0, 0, 0, 0xFF, 0x00, 0xE0});
    EXPECT_EQ(KindOf(Tag(3, 0x80, unsynced)), HeadKind::Tag);

    // Extended header of version 3: its size field does not count itself.
    Bytes extended = {0, 0, 0, 6, 0, 0, 0, 0, 0, 0};
    const Bytes frame = Frame3("TPE1", text);
    extended.insert(extended.end(), frame.begin(), frame.end());
    EXPECT_EQ(KindOf(Tag(3, 0x40, extended)), HeadKind::Tag);

    // A tag without frames, padding only.
    EXPECT_EQ(KindOf(Tag(3, 0, Bytes(16, 0))), HeadKind::Tag);

    // Damage the file tests cannot reach through a written tag.
    EXPECT_EQ(KindOf(Tag(3, 0, Frame3("TIT2", text, 0x40))), HeadKind::Damaged); // encrypted
    EXPECT_EQ(KindOf(Tag(2, 0x40, {})), HeadKind::Damaged); // compressed version 2 tag
    EXPECT_EQ(KindOf(Tag(3, 0x40, {0, 0, 0, 60, 0, 0})), HeadKind::Damaged);
    EXPECT_EQ(KindOf({0xFF, 0xFB, 0x90, 0}), HeadKind::NoTag);
    // Found by fuzzing: the library crashed inflating frames it reached
    // through header flags no version defines, or through grouped frames.
    EXPECT_EQ(KindOf(Tag(3, 0x16, Frame3("TIT2", text))), HeadKind::Damaged);
    EXPECT_EQ(KindOf(Tag(4, 0x01, Frame3("TIT2", text))), HeadKind::Damaged);
    EXPECT_EQ(KindOf(Tag(3, 0, Frame3("TIT2", text, 0x20))), HeadKind::Damaged); // grouped
    Bytes oddExtended = {0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0};
    oddExtended.insert(oddExtended.end(), frame.begin(), frame.end());
    EXPECT_EQ(KindOf(Tag(3, 0x40, oddExtended)), HeadKind::Damaged);
    Bytes twoTags = Tag(3, 0, Frame3("TIT2", text));
    const Bytes second = twoTags;
    twoTags.insert(twoTags.end(), second.begin(), second.end());
    EXPECT_EQ(KindOf(twoTags), HeadKind::Damaged);
}

TEST(HeadLayout, FrameSync) {
    EXPECT_TRUE(StartsWithFrameSync(Bytes{0xFF, 0xFB}));
    EXPECT_TRUE(StartsWithFrameSync(Bytes{0xFF, 0xE2, 0}));
    EXPECT_FALSE(StartsWithFrameSync(Bytes{0xFF, 0xD0}));
    EXPECT_FALSE(StartsWithFrameSync(Bytes{'R', 'I', 'F', 'F'}));
    EXPECT_FALSE(StartsWithFrameSync(Bytes{0xFF}));
}

#pragma once

#include <QByteArray>
#include <cstdint>
#include <functional>
#include <memory>

inline constexpr std::uint16_t NET_PORT = 5150;

// Message types on the wire.
enum NetMessageType : std::uint32_t {
    NET_HEARTBEAT = 1,
    NET_CANENCODE = 2,
    NET_CANENCODE_REPLY = 3,
    NET_ENCODE = 4,
    NET_CANCEL = 5,
    NET_DONE = 6,
    NET_FAILED = 7,
    NET_PAUSE = 8,
    NET_RESUME = 9,
    NET_PROGRESS = 10,
    NET_ERROR = 11,
};

// Events posted to the controller; wParam is the slot, the payload an owned
// QByteArray (none when the frame had no payload).
inline constexpr int MSG_NET_ACCEPTED = 0x80CA;
inline constexpr int MSG_NET_CLOSED = 0x80CB;
inline constexpr int MSG_NET_HEARTBEAT = 0x80CC;
inline constexpr int MSG_NET_CANENCODE = 0x80CD;
inline constexpr int MSG_NET_CANENCODE_REPLY = 0x80CE;
inline constexpr int MSG_NET_ENCODE = 0x80CF;
inline constexpr int MSG_NET_DONE = 0x80D0;
inline constexpr int MSG_NET_FAILED = 0x80D1;
inline constexpr int MSG_NET_PAUSE = 0x80D2;
inline constexpr int MSG_NET_RESUME = 0x80D3;
inline constexpr int MSG_NET_CANCEL = 0x80D4;
inline constexpr int MSG_NET_PROGRESS = 0x80D5;
inline constexpr int MSG_NET_ERROR = 0x80D6;

// Answers to NET_CANENCODE.
enum CanEncodeReply : std::uint32_t {
    CANENCODE_OK = 0,
    CANENCODE_NORESPONSE = 1,
    CANENCODE_BUSY = 2,
    CANENCODE_NOCODEC = 3,
    CANENCODE_NOREAD = 4,
    CANENCODE_NOWRITE = 5,
};

inline constexpr int ENCODE_JOB_SIZE = 540;
inline constexpr int PROGRESS_RECORD_SIZE = 3128;
inline constexpr int REPLY_CODE_SIZE = 4;
inline constexpr int NAME_PAYLOAD_SIZE = 16;
inline constexpr int MAX_ERROR_PAYLOAD = 2048;

// The event a message type arrives as, or 0 for a type outside 1 to 11.
int EventForType(std::uint32_t type);

// True when a payload of `length` bytes is well formed in size for `type`.
bool PayloadSizeFits(std::uint32_t type, int length);

// A whole frame: start marker, type (little-endian), payload, end marker.
QByteArray BuildFrame(std::uint32_t type, const char* payload, int length);

using FramePoster = std::function<void(int event, int slot, std::unique_ptr<QByteArray> payload)>;

// Turns one cut frame into its event. A frame that is too short for a type
// field, of an unknown type, or whose payload does not fit its type is
// dropped with one trace line; false then.
bool DispatchFrame(const char* frame, int length, int slot, const FramePoster& post);

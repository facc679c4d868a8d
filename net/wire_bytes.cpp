#include "net/wire_bytes.h"

#include <cstring>

void AppendU32(QByteArray& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.append(char((value >> (8 * i)) & 0xFF));
    }
}

std::uint32_t ReadU32(const char* bytes) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value |= std::uint32_t(static_cast<unsigned char>(bytes[i])) << (8 * i);
    }
    return value;
}

void PutU32(QByteArray& record, int offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        record[offset + i] = char((value >> (8 * i)) & 0xFF);
    }
}

void PutDouble(QByteArray& record, int offset, double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 8; ++i) {
        record[offset + i] = char((bits >> (8 * i)) & 0xFF);
    }
}

bool PutText(QByteArray& record, int offset, int size, const QByteArray& text) {
    if (text.size() >= size) {
        return false;
    }
    std::memcpy(record.data() + offset, text.constData(), std::size_t(text.size()));
    record[offset + int(text.size())] = '\0';
    return true;
}

std::uint32_t GetU32(const QByteArray& record, int offset) {
    return ReadU32(record.constData() + offset);
}

double GetDouble(const QByteArray& record, int offset) {
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) {
        bits |= std::uint64_t(static_cast<unsigned char>(record[offset + i])) << (8 * i);
    }
    double value = 0.0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

QByteArray GetText(const QByteArray& record, int offset, int size, bool* terminated) {
    const char* begin = record.constData() + offset;
    const void* nul = std::memchr(begin, '\0', std::size_t(size));
    if (terminated) {
        *terminated = nul != nullptr;
    }
    const int length = nul ? int(static_cast<const char*>(nul) - begin) : size;
    return QByteArray(begin, length);
}

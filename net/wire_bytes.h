#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// Little-endian numbers and fixed text fields at given offsets of a record.

void AppendU32(QByteArray& out, std::uint32_t value);
std::uint32_t ReadU32(const char* bytes);

void PutU32(QByteArray& record, int offset, std::uint32_t value);
void PutDouble(QByteArray& record, int offset, double value);
// Writes the bytes and a NUL; false (and nothing written) when they do not
// fit into `size` bytes with the NUL.
bool PutText(QByteArray& record, int offset, int size, const QByteArray& text);

std::uint32_t GetU32(const QByteArray& record, int offset);
double GetDouble(const QByteArray& record, int offset);
// The bytes up to the first NUL within the field; `terminated` tells whether
// there was one.
QByteArray GetText(const QByteArray& record, int offset, int size, bool* terminated = nullptr);

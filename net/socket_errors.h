#pragma once

// Socket error codes keep the numbering of the classic sockets table
// (10000 and up, 11001 and up for host look-ups), so log lines read the same
// on every platform.
inline constexpr int SOCK_WOULD_BLOCK = 10035;
inline constexpr int SOCK_CONNECTION_RESET = 10054;
inline constexpr int SOCK_HOST_NOT_FOUND = 11001;

// The text of a code; "Unknown" for codes outside the table.
const char* sockerrortext(int code);

// The table code of a POSIX errno value (10000 + the classic number), or the
// errno value itself when it has no counterpart.
int SockErrorFromErrno(int error);

// Traces "Windows Sockets error %d: %s" for the current errno.
void ReportSocketError();

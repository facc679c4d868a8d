#include "platform/remove_closed_file.h"

#include <cerrno>
#include <unistd.h>

namespace {

constexpr int ATTEMPTS = 100;
constexpr useconds_t PAUSE_US = 20'000;

} // namespace

int RemoveClosedFile(const QByteArray& path, int (*unlinkFile)(const char*)) {
    int error = 0;
    for (int attempt = 0; attempt < ATTEMPTS; ++attempt) {
        if (unlinkFile(path.constData()) == 0 || errno == ENOENT) {
            return 0;
        }
        error = errno;
        // Only a file still held open is worth waiting for.
        if (error != EBUSY && error != EINTR) {
            return error;
        }
        ::usleep(PAUSE_US);
    }
    return error;
}

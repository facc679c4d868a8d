#include "net/done_check.h"

#include <QFileInfo>

bool OutputLooksComplete(const QString& outputPath, std::uint32_t durationSeconds) {
    const QFileInfo output(outputPath);
    if (outputPath.isEmpty() || !output.isFile() || output.size() <= 0) {
        return false;
    }
    return output.size() >= qint64(durationSeconds) * MIN_OUTPUT_BYTES_PER_SECOND;
}

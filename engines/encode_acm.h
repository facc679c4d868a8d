#pragma once

#include "engines/acm_converted_source.h"
#include "engines/sample_converter.h"
#include "platform/acm_types.h"
#include "platform/riff.h"

#include <QFile>
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class EncodeControl;
class WorkerTicket;
struct WaveProperties;

// One compression-manager conversion, owned by its worker.
struct AcmJob {
    QPointer<QObject> window;
    HACMDRIVERID driverId = 0;
    HACMDRIVER driver{};
    HACMSTREAM stream{};
    std::uint32_t streamOpenFlags = ACM_STREAMOPENF_NONREALTIME;
    RiffFile sourceRiff;
    RiffFile destinationRiff;
    QFile sourceFile;
    QFile destinationFile;
    RiffChunk outputChunk; // `fmt `, then `fact`, then `data`
    RiffChunk outputForm;
    QString sourcePath;
    WAVEFORMATEX sourceFormat; // what the codec reads: the file's, or the converted one
    SampleLayout sourceLayout; // how the file stores its samples
    std::unique_ptr<AcmConvertedSource>
        converted; // set when the codec cannot take them as they are
    std::vector<std::uint8_t> readBuffer;
    std::uint64_t sourceSampleFrames = 0;
    std::uint64_t sourceDataBytes = 0;  // of the stream the codec reads
    std::uint32_t sourceBufferSize = 0; // one second in whole blocks
    QString destinationPath;
    WAVEFORMATEX destinationFormat;
    std::vector<std::uint8_t> writeBuffer;
    std::uint32_t destinationBufferSize = 0;
    ACMSTREAMHEADER header;
};

// One second of the format in whole blocks; 0 when there is no such amount.
std::uint32_t AcmSourceBufferSize(const WAVEFORMATEX& format);

// The source's format as a codec expects to be offered it: plain PCM for
// 8- or 16-bit samples in one or two channels (an extensible record says
// nothing more about those), with its average byte rate filled in.
WAVEFORMATEX AcmSourceFormat(const WAVEFORMATEX& format, const SampleLayout& layout);

// Fills a job from the source's properties and starts the worker. 1 started,
// 0 not (with a trace line when the source's format cannot be used).
int StartAcmEncode(EncodeControl& control, QObject* window, int priority, HACMDRIVERID driverId,
                   const QString& source, const QString& destination,
                   const WaveProperties& properties, const WAVEFORMATEX& destinationFormat);

// 1 ready, 0 failed (the error has been reported).
int convertbegin(AcmJob& job);
// 1 converted, 0 failed or cancelled.
int convertwave(AcmJob& job, const WorkerTicket& ticket);
// Closes everything; unless `failed`, finishes the output's sizes first.
// 0 only when finishing the output failed; safe to call twice.
int convertend(AcmJob& job, bool failed);
// The worker: begin, convert, end, then MSG_ENCODE_DONE.
void AcmWorker(AcmJob& job, const WorkerTicket& ticket);

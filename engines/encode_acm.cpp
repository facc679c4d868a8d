#include "engines/encode_acm.h"

#include "app/error_log.h"
#include "app/trace.h"
#include "engines/encode_control.h"
#include "engines/encode_files.h"
#include "engines/encode_messages.h"
#include "engines/wave_reader.h"
#include "platform/acm.h"
#include "platform/riff_open.h"

#include <new>

namespace {

constexpr std::uint32_t FOURCC_DISP = FourCC("DISP");
constexpr std::uint32_t FOURCC_PLST = FourCC("plst");

const char* Path(const QString& path) {
    return qPrintable(path);
}

bool Fail(AcmJob& job, const QString& message) {
    AddError(message);
    convertend(job, true);
    return false;
}

bool Fail(AcmJob& job, const char* message) {
    return Fail(job, QString::fromUtf8(message));
}

bool IsCopiedChunk(std::uint32_t id) {
    return id == FOURCC_DISP || id == FOURCC_PLST;
}

// Copies one chunk of the source into the output unchanged; a failure here
// costs the copy, not the encode.
void CopyChunk(AcmJob& job, const RiffChunk& chunk) {
    if (chunk.End() > job.sourceFile.size()) {
        return;
    }
    std::vector<std::uint8_t> contents;
    try {
        contents.resize(chunk.size);
    } catch (const std::bad_alloc&) {
        return;
    }
    if (job.sourceRiff.Read(contents.data(), chunk.size) != qint64(chunk.size)) {
        return;
    }
    RiffChunk copy;
    copy.id = chunk.id;
    copy.size = chunk.size;
    if (job.destinationRiff.CreateChunk(copy) != RIFF_OK) {
        return;
    }
    job.destinationRiff.Write(contents.data(), chunk.size);
    job.destinationRiff.Ascend(copy);
}

// Walks the source's chunks, copying the ones that travel with the audio.
bool CopySourceChunks(AcmJob& job, const RiffChunk& form) {
    RiffChunk chunk;
    while (job.sourceRiff.Descend(chunk, &form) == RIFF_OK) {
        if (chunk.End() > form.End()) {
            return false;
        }
        if (IsCopiedChunk(chunk.id)) {
            CopyChunk(job, chunk);
        }
        if (job.sourceRiff.Ascend(chunk) != RIFF_OK) {
            break;
        }
        chunk = RiffChunk();
    }
    return true;
}

// Positions the source at the first sample byte: the first non-empty `data`
// chunk, the one whose size the properties gave.
void SeekSampleData(AcmJob& job, const RiffChunk& form) {
    RiffChunk data;
    data.id = FOURCC_DATA;
    while (job.sourceRiff.Descend(data, &form, RIFF_FINDCHUNK) == RIFF_OK && data.size == 0) {
        if (job.sourceRiff.Ascend(data) != RIFF_OK) {
            return;
        }
        data = RiffChunk();
        data.id = FOURCC_DATA;
    }
}

bool WriteChunk(AcmJob& job, std::uint32_t id, const std::vector<std::uint8_t>& bytes,
                const char* createError, const char* writeError, const char* ascendError) {
    job.outputChunk = RiffChunk();
    job.outputChunk.id = id;
    job.outputChunk.size = static_cast<std::uint32_t>(bytes.size());
    if (job.destinationRiff.CreateChunk(job.outputChunk) != RIFF_OK) {
        return Fail(job, createError);
    }
    if (job.destinationRiff.Write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size())) {
        return Fail(job, writeError);
    }
    if (job.destinationRiff.Ascend(job.outputChunk) != RIFF_OK) {
        return Fail(job, ascendError);
    }
    return true;
}

std::vector<std::uint8_t> LittleEndian(std::uint64_t wide) {
    // The count of a file beyond 32 bits is the largest one there is.
    const auto value = static_cast<std::uint32_t>(std::min<std::uint64_t>(wide, 0xFFFFFFFFu));
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

// A conversion of `length` source bytes; the result of the call.
MMRESULT Convert(AcmJob& job, std::uint32_t length, std::uint32_t flags) {
    job.header.cbSrcLength = length;
    job.header.cbDstLengthUsed = 0;
    const MMRESULT result = acmStreamConvert(job.stream, &job.header, flags);
    // Conversion is synchronous: the done flag is set when the call returns.
    return result;
}

// Gives back source bytes the codec kept back, so they are read again.
void ReturnUnusedSource(AcmJob& job, qint64 count) {
    const qint64 unused = count - qint64(job.header.cbSrcLengthUsed);
    if (unused <= 0) {
        return;
    }
    if (job.converted) {
        job.converted->Unread(unused);
    } else {
        job.sourceRiff.Seek(-unused, RiffSeek::Current);
    }
}

// A source the codec cannot take as it is (wider samples, another rate, more
// channels) goes through the converter to 16-bit PCM at the rate and channel
// count of the chosen format. False when there is nothing a conversion could
// change or the samples cannot be converted.
bool PrepareConversion(AcmJob& job) {
    const EncoderInput input{job.destinationFormat.nChannels, job.destinationFormat.nSamplesPerSec};
    const SampleLayout& layout = job.sourceLayout;
    if (IsDirectInput(layout, input) || layout.blockAlign == 0) {
        return false;
    }
    QString problem;
    std::unique_ptr<SampleConverter> converter = SampleConverter::Create(layout, input, &problem);
    if (!converter) {
        Trace("convertbegin: no conversion for the codec: %s. file = %s\n", qPrintable(problem),
              Path(job.sourcePath));
        return false;
    }
    const WAVEFORMATEX pcm = WAVEFORMATEX::Pcm(input.channels, input.sampleRate, 16);
    const std::uint64_t frames = ConvertedFrames(job.sourceDataBytes / layout.blockAlign,
                                                 layout.sampleRate, input.sampleRate);
    // The converted stream must still fit the sizes of a RIFF file.
    if (frames * pcm.nBlockAlign > 0xFFFFFF00ULL) {
        Trace("convertbegin: the converted source would be too large. file = %s\n",
              Path(job.sourcePath));
        return false;
    }
    job.converted = std::make_unique<AcmConvertedSource>(
        std::move(converter), layout.blockAlign, job.sourceDataBytes, pcm.nBlockAlign, frames);
    job.sourceFormat = pcm;
    job.sourceBufferSize = AcmSourceBufferSize(pcm);
    job.sourceSampleFrames = frames;
    job.sourceDataBytes = job.converted->OutputBytes();
    return true;
}

// Source bytes behind `done` bytes of the stream the codec reads.
std::uint64_t SourceBytesDone(const AcmJob& job, std::uint64_t done) {
    return job.converted ? job.converted->SourceBytesFor(done) : done;
}

// -1 after reporting a failed read.
qint64 ReadSource(AcmJob& job, std::uint32_t count) {
    const qint64 got = job.converted
                           ? job.converted->Read(job.sourceRiff, job.readBuffer.data(), count)
                           : job.sourceRiff.Read(job.readBuffer.data(), count);
    if (got < 0) {
        AddError(QString::asprintf("Error - Couldn't read from the source file (%s).",
                                   Path(job.sourcePath)));
        Trace("convertwave: couldn't read from the source file. file = %s\n", Path(job.sourcePath));
    }
    return got;
}

bool WriteProduced(AcmJob& job, const char* errorText, const char* traceText) {
    const qint64 count = job.header.cbDstLengthUsed;
    const qint64 written = job.destinationRiff.Write(job.writeBuffer.data(), count);
    if (written != count) {
        AddError(QString::fromUtf8(errorText));
        Trace(traceText, static_cast<long>(written));
        return false;
    }
    return true;
}

} // namespace

WAVEFORMATEX AcmSourceFormat(const WAVEFORMATEX& format, const SampleLayout& layout) {
    const bool plainable = !layout.isFloat &&
                           (layout.bitsPerSample == 8 || layout.bitsPerSample == 16) &&
                           (layout.channels == 1 || layout.channels == 2) &&
                           layout.blockAlign == layout.channels * layout.bitsPerSample / 8;
    return plainable ? WAVEFORMATEX::Pcm(layout.channels, layout.sampleRate, layout.bitsPerSample)
                     : format;
}

std::uint32_t AcmSourceBufferSize(const WAVEFORMATEX& format) {
    if (format.nBlockAlign == 0) {
        return 0;
    }
    return format.nAvgBytesPerSec - format.nAvgBytesPerSec % format.nBlockAlign;
}

int convertbegin(AcmJob& job) {
    if (acmDriverOpen(&job.driver, job.driverId, 0) != MMSYSERR_NOERROR) {
        AddError(QStringLiteral("Couldn't open ACM driver."));
        return 0;
    }
    MMRESULT opened = acmStreamOpen(&job.stream, job.driver, job.sourceFormat,
                                    job.destinationFormat, job.streamOpenFlags);
    if (opened == ACMERR_NOTPOSSIBLE && PrepareConversion(job)) {
        opened = acmStreamOpen(&job.stream, job.driver, job.sourceFormat, job.destinationFormat,
                               job.streamOpenFlags);
    }
    if (opened == ACMERR_NOTPOSSIBLE) {
        AddError(QStringLiteral("The ACM Codec cannot convert the wave file. It is probably in "
                                "an incompatible format."));
        return 0;
    }
    if (opened != MMSYSERR_NOERROR) {
        AddError(QStringLiteral("Couldn't open ACM stream"));
        return 0;
    }
    if (acmStreamSize(job.stream, job.sourceBufferSize, &job.destinationBufferSize,
                      ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR) {
        AddError(QStringLiteral("Couldn't set ACM stream size"));
        return 0;
    }
    Trace("convertbegin: source buffer = %ld dest buffer = %ld\n",
          static_cast<long>(job.sourceBufferSize), static_cast<long>(job.destinationBufferSize));

    if (const long error = OpenForSequentialRead(job.sourceFile, job.sourcePath); error != 0) {
        Trace("convertbegin: couldn't open the source file with CreateFile. error = %ld file = "
              "%s\n",
              error, Path(job.sourcePath));
        return Fail(job, QString::asprintf("Error %ld - Couldn't open the source file (%s) for "
                                           "reading.",
                                           error, Path(job.sourcePath)));
    }
    if (const int error =
            job.sourceRiff.Open(&job.sourceFile, RIFF_ALLOCBUF | RIFF_DENYWRITE | RIFF_READ);
        error != RIFF_OK) {
        Trace("convertbegin: couldn't open the source file with mmioOpen. error = %d file = %s\n",
              error, Path(job.sourcePath));
        return Fail(job, QString::asprintf("Couldn't open the source file (%s) with mmioOpen. "
                                           "Error %d",
                                           Path(job.sourcePath), error));
    }
    if (const long error = CreateDestination(job.destinationFile, job.destinationPath);
        error != 0) {
        Trace("convertbegin: couldn't open the dest file with CreateFile. error = %ld file = %s\n",
              error, Path(job.destinationPath));
        return Fail(job, QString::asprintf("Error %ld - Couldn't open the destination file (%s) "
                                           "for reading.",
                                           error, Path(job.destinationPath)));
    }
    if (const int error = job.destinationRiff.Open(&job.destinationFile,
                                                   RIFF_ALLOCBUF | RIFF_EXCLUSIVE | RIFF_WRITE);
        error != RIFF_OK) {
        Trace("convertbegin: couldn't open the dest file with mmioOpen. error = %d file = %s\n",
              error, Path(job.destinationPath));
        return Fail(job, QString::asprintf("Couldn't open the destination file (%s) with "
                                           "mmioOpen. Error %d",
                                           Path(job.destinationPath), error));
    }
    try {
        job.readBuffer.assign(job.sourceBufferSize, 0);
    } catch (const std::bad_alloc&) {
        return Fail(job, "No memory for the read buffer");
    }
    try {
        job.writeBuffer.assign(job.destinationBufferSize, 0);
    } catch (const std::bad_alloc&) {
        return Fail(job, "No memory for the write buffer");
    }

    job.header = ACMSTREAMHEADER();
    job.header.cbStruct = ACMSTREAMHEADER_SIZE;
    job.header.pbSrc = job.readBuffer.data();
    job.header.cbSrcLength = job.sourceBufferSize;
    job.header.dwSrcUser = job.sourceBufferSize;
    job.header.pbDst = job.writeBuffer.data();
    job.header.cbDstLength = job.destinationBufferSize;
    job.header.dwDstUser = job.destinationBufferSize;
    if (acmStreamPrepareHeader(job.stream, &job.header, 0) != MMSYSERR_NOERROR) {
        return Fail(job, "Couldn't prepare the stream header");
    }

    job.outputForm = RiffChunk();
    job.outputForm.formType = FOURCC_WAVE;
    if (job.destinationRiff.CreateChunk(job.outputForm, RIFF_CREATERIFF) != RIFF_OK) {
        return Fail(job, "Couldn't create WAVE chunk");
    }
    RiffChunk form;
    form.formType = FOURCC_WAVE;
    if (job.sourceRiff.Descend(form, nullptr, RIFF_FINDRIFF) != RIFF_OK) {
        return Fail(job, "Couldn't descend to WAVE chunk");
    }
    if (!CopySourceChunks(job, form)) {
        return Fail(job, "Wave file is corrupt");
    }
    if (job.sourceRiff.Seek(qint64(form.dataOffset) + 4, RiffSeek::Set) < 0) {
        return Fail(job, "Couldn't seek to beginning of WAVE file");
    }
    SeekSampleData(job, form);

    if (!WriteChunk(job, FOURCC_FMT, job.destinationFormat.Serialize(), "Couldn't create FMT chunk",
                    "Couldn't write FMT chunk", "Couldn't ascend the FMT chunk") ||
        !WriteChunk(job, FOURCC_FACT, LittleEndian(job.sourceSampleFrames),
                    "Couldn't create the FACT chunk", "Couldn't write the FACT chunk",
                    "Couldn't ascend the FACT chunk")) {
        return 0;
    }
    job.outputChunk = RiffChunk();
    job.outputChunk.id = FOURCC_DATA;
    if (job.destinationRiff.CreateChunk(job.outputChunk) != RIFF_OK) {
        return Fail(job, "Couldn't create the DATA chunk");
    }
    return 1;
}

int convertwave(AcmJob& job, const WorkerTicket& ticket) {
    std::uint64_t done = 0;
    int lastPercent = -1;
    const std::uint64_t total = job.sourceDataBytes;
    if (total == 0) {
        return 1;
    }
    const std::uint64_t fileTotal = SourceBytesDone(job, total);
    // Phase 1: whole buffers until the codec holds its output back.
    while (done < total) {
        const int percent = static_cast<int>(static_cast<double>(done) / double(total) * 100.0);
        if (percent != lastPercent) {
            PostEncodeProgress(job.window, percent,
                               ReportedProgressBytes(SourceBytesDone(job, done), fileTotal));
            lastPercent = percent;
        }
        if (ticket.CheckPoint()) {
            return 0;
        }
        const auto wanted =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(job.sourceBufferSize, total - done));
        const qint64 count = ReadSource(job, wanted);
        if (count < 0) {
            return 0;
        }
        if (count == 0) {
            break;
        }
        if (ticket.CheckPoint()) {
            return 0;
        }
        if (const MMRESULT result =
                Convert(job, static_cast<std::uint32_t>(count), ACM_STREAMCONVERTF_BLOCKALIGN);
            result != MMSYSERR_NOERROR) {
            AddError(
                QString::asprintf("acmStreamConvert 1 returned %ld", static_cast<long>(result)));
            Trace("convertwave: acmstreamconvert 1 returned %ld\n", static_cast<long>(result));
            return 0;
        }
        if (ticket.CheckPoint()) {
            return 0;
        }
        ReturnUnusedSource(job, count);
        done += job.header.cbSrcLengthUsed;
        if (job.header.cbDstLengthUsed == 0) {
            break;
        }
        if (!WriteProduced(job, "mmioWrite 1 failed", "convertwave: mmioWrite 1 returned %ld\n")) {
            return 0;
        }
        if (ticket.CheckPoint()) {
            return 0;
        }
    }
    // Phase 2: the rest with the end-of-stream flag, until the codec is empty.
    for (;;) {
        if (ticket.CheckPoint()) {
            return 0;
        }
        const auto wanted = static_cast<std::uint32_t>(std::min<std::uint64_t>(
            job.sourceBufferSize, total - std::min<std::uint64_t>(done, total)));
        qint64 count = 0;
        if (wanted != 0) {
            count = ReadSource(job, wanted);
            if (count < 0) {
                return 0;
            }
            if (count == 0) {
                return 1;
            }
            if (ticket.CheckPoint()) {
                return 0;
            }
        }
        if (const MMRESULT result = Convert(job, static_cast<std::uint32_t>(count),
                                            ACM_STREAMCONVERTF_END | ACM_STREAMCONVERTF_BLOCKALIGN);
            result != MMSYSERR_NOERROR) {
            AddError(
                QString::asprintf("acmStreamConvert 2 returned %ld", static_cast<long>(result)));
            Trace("convertwave: acmstreamconvert 2 returned %ld\n", static_cast<long>(result));
            return 0;
        }
        if (ticket.CheckPoint()) {
            return 0;
        }
        if (job.header.cbDstLengthUsed == 0) {
            Convert(job, static_cast<std::uint32_t>(count), ACM_STREAMCONVERTF_END);
            if (job.header.cbDstLengthUsed == 0) {
                return 1;
            }
        }
        if (!WriteProduced(job, "mmioWrite 2 failed", "convertwave: mmioWrite 2 returned %ld\n")) {
            return 0;
        }
        ReturnUnusedSource(job, count);
        done += job.header.cbSrcLengthUsed;
        if (ticket.CheckPoint()) {
            return 0;
        }
    }
}

int convertend(AcmJob& job, bool failed) {
    int result = 1;
    job.sourceRiff.Close();
    if (job.destinationRiff.IsOpen()) {
        if (!failed) {
            // The sizes of `data` and of the form are written only now.
            if (job.destinationRiff.Ascend(job.outputChunk) != RIFF_OK ||
                job.destinationRiff.Ascend(job.outputForm) != RIFF_OK) {
                result = 0;
            }
        }
        if (job.destinationRiff.Close() != RIFF_OK && !failed) {
            result = 0;
        }
        if (result == 0) {
            AddError(QString::asprintf("Error - Couldn't finish the destination file (%s).",
                                       Path(job.destinationPath)));
            Trace("convertend: couldn't finish the dest file. file = %s\n",
                  Path(job.destinationPath));
        }
    }
    job.sourceFile.close();
    if (job.destinationFile.isOpen()) {
        if (!job.destinationFile.flush() && !failed && result != 0) {
            AddError(QString::asprintf("Error - Couldn't finish the destination file (%s).",
                                       Path(job.destinationPath)));
            result = 0;
        }
        job.destinationFile.close();
    }
    if (job.stream != HACMSTREAM{}) {
        if (job.header.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) {
            job.header.cbSrcLength = job.sourceBufferSize;
            job.header.cbDstLength = job.destinationBufferSize;
            acmStreamUnprepareHeader(job.stream, &job.header, 0);
        }
        acmStreamClose(job.stream, 0);
        job.stream = HACMSTREAM{};
    }
    if (job.driver != HACMDRIVER{}) {
        acmDriverClose(job.driver, 0);
        job.driver = HACMDRIVER{};
    }
    job.readBuffer = {};
    job.writeBuffer = {};
    job.converted.reset();
    return result;
}

void AcmWorker(AcmJob& job, const WorkerTicket& ticket) {
    int outcome = convertbegin(job) ? convertwave(job, ticket) : 0;
    if (!convertend(job, outcome == 0)) {
        outcome = 0;
    }
    ticket.Finish();
    PostEncodeDone(job.window, outcome != 0, job.sourcePath);
}

int StartAcmEncode(EncodeControl& control, QObject* window, int priority, HACMDRIVERID driverId,
                   const QString& source, const QString& destination,
                   const WaveProperties& properties, const WAVEFORMATEX& destinationFormat) {
    const auto parsed = WAVEFORMATEX::Parse(properties.format.Bytes());
    if (!parsed) {
        Trace("StartEncode: unusable source format. file = %s\n", Path(source));
        return 0;
    }
    const SampleLayout layout = DescribeSamples(properties.format);
    const WAVEFORMATEX sourceFormat = AcmSourceFormat(*parsed, layout);
    const std::uint32_t bufferSize = AcmSourceBufferSize(sourceFormat);
    if (bufferSize == 0) {
        Trace("StartEncode: the source has no whole block per second. file = %s\n", Path(source));
        return 0;
    }
    auto job = std::make_shared<AcmJob>();
    job->window = window;
    job->driverId = driverId;
    job->sourcePath = source;
    job->sourceFormat = sourceFormat;
    job->sourceLayout = layout;
    job->sourceSampleFrames = properties.sampleFrames;
    job->sourceDataBytes = properties.dataBytes;
    job->sourceBufferSize = bufferSize;
    job->destinationPath = destination;
    job->destinationFormat = destinationFormat;
    return control.StartWorker([job](const WorkerTicket& ticket) { AcmWorker(*job, ticket); },
                               priority)
               ? 1
               : 0;
}

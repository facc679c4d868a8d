#include "engines/encode_blade.h"

#include "app/error_log.h"
#include "app/trace.h"
#include "encoders/mpeg_tables.h"
#include "engines/encode_control.h"
#include "engines/encode_files.h"
#include "engines/encode_messages.h"
#include "engines/sample_converter.h"
#include "engines/wave_reader.h"
#include "platform/riff_open.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr std::uint32_t VBR_RATE_CHOICE_KBPS = 64;

QString Text(const char* format, long number, const QString& path) {
    return QString::asprintf(format, number, qPrintable(path));
}

class BladeEncode {
public:
    BladeEncode(const BeJob& job, const WorkerTicket& ticket) : job(job), ticket(ticket) {}
    ~BladeEncode() {
        if (streamOpen) {
            job.library.beCloseStream(stream);
        }
    }

    bool Run();

private:
    bool OpenFiles(std::uint64_t dataOffset);
    bool OpenStream(std::uint32_t sourceRate);
    bool TryStream(std::uint32_t rate, std::uint32_t* outputBytes, BE_ERR* result);
    bool PrepareConverter(const SampleLayout& layout);
    bool EncodeAll(std::uint64_t dataBytes);
    bool EncodeConverted(std::uint64_t dataBytes);
    bool EncodeSamples(const std::int16_t* samples, std::uint32_t count);
    bool FinishStream();
    bool WriteInfoFrame();
    // The bitrate the source's rate is chosen for: a VBR stream takes any
    // bitrate of its rate, and every MPEG rate takes 64 kbit/s.
    std::uint32_t RateChoiceBitrate() const {
        return job.choice.vbrQuality >= 0 ? VBR_RATE_CHOICE_KBPS : job.bitrate;
    }
    bool WriteOut(std::uint32_t count, const char* errorText, const char* traceText);

    const BeJob& job;
    const WorkerTicket& ticket;
    QFile source;
    QFile destination;
    HBE_STREAM stream = 0;
    bool streamOpen = false;
    bool infoFrame = false; // the stream's first frame waits for the Info frame
    std::uint32_t samplesPerChunk = 0;
    std::vector<std::int16_t> samples;
    std::vector<std::uint8_t> output;
    EncoderInput input;
    std::uint16_t frameBytes = 0;
    std::unique_ptr<SampleConverter> converter; // null: the source goes in as it is
};

bool BladeEncode::Run() {
    WaveProperties properties;
    if (const unsigned result = GetWaveProperties(job.source, &properties); result != WAVE_OK) {
        AddError(Text("Error %ld - Couldn't open the source file (%s) for properties.",
                      static_cast<long>(result), job.source));
        Trace("convertbladethread: couldn't open the source file for properties. error = %ld "
              "file = %s\n",
              static_cast<long>(result), qPrintable(job.source));
        return false;
    }
    // Nothing to encode is no MP3: say so rather than fail without a word.
    if (properties.dataBytes == 0) {
        AddError(QString::asprintf("Error - The source file (%s) holds no sample data.",
                                   qPrintable(job.source)));
        return false;
    }
    const SampleLayout layout = DescribeSamples(properties.format);
    input.channels = EncoderChannelsFor(layout.channels);
    input.sampleRate = mpeg::ChooseRate(layout.sampleRate, RateChoiceBitrate());
    frameBytes = layout.blockAlign;
    // Samples no converter reads are refused before the library is asked.
    if (!PrepareConverter(layout) || !OpenFiles(properties.dataOffset)) {
        return false;
    }
    const std::uint32_t preferredRate = input.sampleRate;
    if (!OpenStream(layout.sampleRate) ||
        (input.sampleRate != preferredRate && !PrepareConverter(layout))) {
        return false;
    }
    return EncodeAll(properties.dataBytes) && FinishStream() && WriteInfoFrame();
}

// The Info frame goes over the reserved first frame once the stream is whole:
// without it, players would take that frame for audio and know neither the
// encoder's delay nor its padding.
bool BladeEncode::WriteInfoFrame() {
    if (!infoFrame) {
        return true;
    }
    const BE_ERR result =
        job.library.beWriteInfoTag(stream, QFile::encodeName(job.destination).constData());
    if (result != BE_ERR_SUCCESSFUL) {
        AddError(QString::asprintf(
            "Error %lu - Couldn't write the Info frame to the destination file (%s).",
            static_cast<unsigned long>(result), qPrintable(job.destination)));
        Trace("convertbladethread: couldn't write the info frame. error = %lu file = %s\n",
              static_cast<unsigned long>(result), qPrintable(job.destination));
        return false;
    }
    return true;
}

// The libraries take interleaved 16-bit samples in one or two channels at an
// MPEG rate; anything else goes through the converter.
bool BladeEncode::PrepareConverter(const SampleLayout& layout) {
    converter.reset();
    if (IsDirectInput(layout, input)) {
        return true;
    }
    QString problem;
    converter = SampleConverter::Create(layout, input, &problem);
    if (!converter) {
        AddError(QStringLiteral("Error - The source file (%1) cannot be encoded: %2.")
                     .arg(job.source, problem));
        Trace("convertbladethread: unsupported sample format. %s file = %s\n", qPrintable(problem),
              qPrintable(job.source));
        return false;
    }
    return true;
}

bool BladeEncode::OpenFiles(std::uint64_t dataOffset) {
    if (const long error = OpenForSequentialRead(source, job.source); error != 0) {
        AddError(
            Text("Error %ld - Couldn't open the source file (%s) for reading.", error, job.source));
        Trace("convertbladethread: couldn't open the source file with CreateFile. error = %ld "
              "file = %s\n",
              error, qPrintable(job.source));
        return false;
    }
    // The reader walked the chunks: its offset is the real one, wherever the
    // chunks before it (a broadcast header, editor notes) put the samples.
    if (dataOffset == 0 || !source.seek(qint64(dataOffset))) {
        AddError(QString::asprintf("Error - Invalid Wav file (%s).", qPrintable(job.source)));
        Trace("convertbladethread: error reading wav file. file = %s\n", qPrintable(job.source));
        return false;
    }
    if (const long error = CreateDestination(destination, job.destination); error != 0) {
        AddError(Text("Error %ld - Couldn't open the destination file (%s) for reading.", error,
                      job.destination));
        Trace("convertbegin: couldn't open the dest file with CreateFile. error = %ld file = %s\n",
              error, qPrintable(job.destination));
        return false;
    }
    return true;
}

// The plain configuration, as the five-function interface has always had it.
BE_CONFIG PlainConfig(std::uint32_t rate, std::uint16_t channels, std::uint32_t bitrate) {
    BE_CONFIG config;
    std::memset(&config, 0, sizeof config);
    config.dwConfig = BE_CONFIG_MP3;
    config.format.mp3.dwSampleRate = rate;
    config.format.mp3.byMode = channels == 2 ? BE_MP3_MODE_STEREO : BE_MP3_MODE_MONO;
    config.format.mp3.wBitrate = static_cast<std::uint16_t>(bitrate);
    return config;
}

// The LAME form: the stereo mode and VBR chosen, and the first frame kept for
// the Info frame when the library can write it.
BE_CONFIG LameConfig(std::uint32_t rate, std::uint16_t channels, const BeJob& job) {
    BE_CONFIG config;
    std::memset(&config, 0, sizeof config);
    config.dwConfig = BE_CONFIG_LAME;
    BE_LAME_CONFIG& lame = config.format.lhv1;
    lame.dwStructVersion = BE_LAME_STRUCT_VERSION;
    lame.dwStructSize = sizeof config;
    lame.dwSampleRate = rate;
    lame.nMode = channels == 1            ? BE_MP3_MODE_MONO
                 : job.choice.jointStereo ? BE_MP3_MODE_JSTEREO
                                          : BE_MP3_MODE_STEREO;
    lame.dwBitrate = job.bitrate;
    lame.nPreset = LQP_NOPRESET;
    lame.bWriteVBRHeader = job.library.beWriteInfoTag != nullptr ? 1 : 0;
    lame.bEnableVBR = job.choice.vbrQuality >= 0 ? 1 : 0;
    lame.nVBRQuality = std::max(job.choice.vbrQuality, 0);
    lame.nVbrMethod = job.choice.vbrQuality >= 0 ? VBR_METHOD_NEW : VBR_METHOD_NONE;
    return config;
}

bool BladeEncode::TryStream(std::uint32_t rate, std::uint32_t* outputBytes, BE_ERR* result) {
    infoFrame = false;
    if (job.libraryIndex == LAME_LIBRARY) {
        BE_CONFIG config = LameConfig(rate, input.channels, job);
        *result = job.library.beInitStream(&config, &samplesPerChunk, outputBytes, &stream);
        // A library that knows only the plain form still encodes a constant bitrate.
        if (*result != BE_ERR_INVALID_FORMAT || job.choice.vbrQuality >= 0) {
            infoFrame = *result == BE_ERR_SUCCESSFUL && config.format.lhv1.bWriteVBRHeader != 0;
            return *result == BE_ERR_SUCCESSFUL;
        }
    }
    BE_CONFIG config = PlainConfig(rate, input.channels, job.bitrate);
    *result = job.library.beInitStream(&config, &samplesPerChunk, outputBytes, &stream);
    return *result == BE_ERR_SUCCESSFUL;
}

// A library need not take every MPEG rate at every bitrate (a 2.5 rate, a
// bitrate its version lacks): the source goes to the nearest one it takes.
bool BladeEncode::OpenStream(std::uint32_t sourceRate) {
    std::uint32_t outputBytes = 0;
    BE_ERR result = BE_ERR_INVALID_FORMAT_PARAMETERS;
    for (const std::uint32_t rate : mpeg::RatesByPreference(sourceRate, RateChoiceBitrate())) {
        if (TryStream(rate, &outputBytes, &result)) {
            input.sampleRate = rate;
            break;
        }
        if (result != BE_ERR_INVALID_FORMAT_PARAMETERS) {
            break;
        }
    }
    if (result != BE_ERR_SUCCESSFUL) {
        AddError(QString::asprintf("Error %lu - Couldn't open encode stream for source file (%s).",
                                   static_cast<unsigned long>(result), qPrintable(job.source)));
        Trace("convertbladethread: couldn't open the encode stream. error = %lu file = %s\n",
              static_cast<unsigned long>(result), qPrintable(job.source));
        return false;
    }
    streamOpen = true;
    bool allocated = samplesPerChunk != 0;
    if (allocated) {
        try {
            output.assign(outputBytes, 0);
            samples.assign(samplesPerChunk, 0);
        } catch (const std::bad_alloc&) {
            allocated = false;
        }
    }
    if (!allocated) {
        AddError(QString::asprintf(
            "Error - Couldn't allocate buffers for Blade encoder for source file (%s).",
            qPrintable(job.source)));
        Trace("convertbladethread: couldn't allocate buffers for blade encoder. file = %s\n",
              qPrintable(job.source));
        return false;
    }
    return true;
}

bool BladeEncode::WriteOut(std::uint32_t count, const char* errorText, const char* traceText) {
    errno = 0;
    if (count == 0 ||
        destination.write(reinterpret_cast<const char*>(output.data()), count) == qint64(count)) {
        return true;
    }
    const long error = LastSystemError();
    AddError(Text(errorText, error, job.destination));
    Trace(traceText, error, qPrintable(job.destination));
    return false;
}

bool BladeEncode::EncodeSamples(const std::int16_t* chunk, std::uint32_t count) {
    std::uint32_t produced = 0;
    const BE_ERR result = job.library.beEncodeChunk(stream, count, chunk, output.data(), &produced);
    if (result != BE_ERR_SUCCESSFUL) {
        AddError(QString::asprintf("Error %lu - Couldn't encode chunk with Blade Encoder (%s).",
                                   static_cast<unsigned long>(result), qPrintable(job.source)));
        Trace("convertbladethread: couldn't encode chunk with blade. error = %lu file = %s\n",
              static_cast<unsigned long>(result), qPrintable(job.source));
        return false;
    }
    return WriteOut(produced, "Error %ld - Couldn't write to destination file (%s).",
                    "convertbladethread: couldn't write to destination file. error = %ld file "
                    "= %s\n");
}

// Reads whole source frames, converts them and hands the encoder full chunks;
// only the part of a chunk not yet encoded is carried from one read to the next.
bool BladeEncode::EncodeConverted(std::uint64_t dataBytes) {
    ProgressReporter progress(job.window, dataBytes);
    const std::uint32_t framesPerRead =
        std::max<std::uint32_t>(samplesPerChunk / input.channels, 1);
    std::vector<std::uint8_t> raw;
    std::vector<std::int16_t> pending;
    try {
        raw.resize(std::size_t(framesPerRead) * frameBytes);
        pending.reserve(std::size_t(samplesPerChunk) * 4);
    } catch (const std::bad_alloc&) {
        AddError(QString::asprintf(
            "Error - Couldn't allocate buffers for Blade encoder for source file (%s).",
            qPrintable(job.source)));
        return false;
    }
    const std::uint64_t wholeBytes = dataBytes - dataBytes % frameBytes;
    auto encodeFull = [&](bool all) {
        std::size_t used = 0;
        while (pending.size() - used >= samplesPerChunk || (all && pending.size() > used)) {
            const auto count = static_cast<std::uint32_t>(
                std::min<std::size_t>(samplesPerChunk, pending.size() - used));
            if (!EncodeSamples(pending.data() + used, count)) {
                return false;
            }
            used += count;
        }
        pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(used));
        return true;
    };
    std::uint64_t done = 0;
    while (done < wholeBytes) {
        const auto chunk =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(raw.size(), wholeBytes - done));
        errno = 0;
        if (source.read(reinterpret_cast<char*>(raw.data()), chunk) != qint64(chunk)) {
            const long error = LastSystemError();
            AddError(Text("Error %ld - Couldn't read from source file (%s).", error, job.source));
            Trace("convertbladethread: couldn't read from file. error = %ld file = %s\n", error,
                  qPrintable(job.source));
            return false;
        }
        if (!converter->Convert(raw.data(), chunk / frameBytes, pending)) {
            AddError(QString::asprintf("Error - Couldn't convert the samples of source file (%s).",
                                       qPrintable(job.source)));
            return false;
        }
        if (!encodeFull(false)) {
            return false;
        }
        done += chunk;
        // A trailing part of a frame is no sound; it counts as read.
        progress.Report(done == wholeBytes ? dataBytes : done);
        if (ticket.CheckPoint()) {
            return false;
        }
    }
    if (!converter->Flush(pending)) {
        AddError(QString::asprintf("Error - Couldn't convert the samples of source file (%s).",
                                   qPrintable(job.source)));
        return false;
    }
    return encodeFull(true);
}

bool BladeEncode::EncodeAll(std::uint64_t dataBytes) {
    if (converter) {
        return EncodeConverted(dataBytes);
    }
    ProgressReporter progress(job.window, dataBytes);
    const std::uint64_t fullChunk = std::uint64_t(samplesPerChunk) * 2;
    std::uint64_t done = 0;
    while (done < dataBytes) {
        const std::uint64_t left = dataBytes - done;
        const auto chunk = static_cast<std::uint32_t>(fullChunk >= left ? left : fullChunk);
        errno = 0;
        if (source.read(reinterpret_cast<char*>(samples.data()), chunk) != qint64(chunk)) {
            const long error = LastSystemError();
            AddError(Text("Error %ld - Couldn't read from source file (%s).", error, job.source));
            Trace("convertbladethread: couldn't read from file. error = %ld file = %s\n", error,
                  qPrintable(job.source));
            return false;
        }
        if (!EncodeSamples(samples.data(), chunk / 2)) {
            return false;
        }
        done += chunk;
        progress.Report(done);
        if (ticket.CheckPoint()) {
            return false;
        }
    }
    return true;
}

bool BladeEncode::FinishStream() {
    std::uint32_t produced = 0;
    const BE_ERR result = job.library.beDeinitStream(stream, output.data(), &produced);
    if (result != BE_ERR_SUCCESSFUL) {
        AddError(QString::asprintf("Error %lu - Couldn't close encode stream for source file (%s).",
                                   static_cast<unsigned long>(result), qPrintable(job.source)));
        Trace("convertbladethread: couldn't close the encode stream. error = %lu file = %s\n",
              static_cast<unsigned long>(result), qPrintable(job.source));
        return false;
    }
    const char* errorText = "Error %ld - Couldn't write epilog to destination file (%s).";
    const char* traceText =
        "convertbladethread: couldn't write epilog to destination file. error = %ld file = %s\n";
    if (!WriteOut(produced, errorText, traceText)) {
        return false;
    }
    // A full disk may show only when the buffered tail is written.
    errno = 0;
    if (!destination.flush()) {
        const long error = LastSystemError();
        AddError(Text(errorText, error, job.destination));
        Trace(traceText, error, qPrintable(job.destination));
        return false;
    }
    return true;
}

} // namespace

int convertbladethread(const BeJob& job, const WorkerTicket& ticket) {
    bool outcome = false;
    {
        BladeEncode encode(job, ticket);
        outcome = encode.Run();
    }
    ticket.Finish();
    PostEncodeDone(job.window, outcome, job.source);
    return outcome ? 1 : 0;
}

bool StartBeThread(unsigned libraryIndex, EncodeControl& owner, const EncoderEntryPoints& library,
                   QObject* window, const QString& source, const QString& destination,
                   std::uint32_t bitrate, int priority, const StreamChoice& choice) {
    BeJob job;
    job.owner = &owner;
    job.window = window;
    job.source = source;
    job.destination = destination;
    job.bitrate = bitrate;
    job.libraryIndex = libraryIndex;
    job.library = library;
    job.choice = choice;
    return owner.StartWorker(
        [job = std::move(job)](const WorkerTicket& ticket) { convertbladethread(job, ticket); },
        priority);
}

int StartLibraryEncode(EncodeControl& owner, unsigned libraryIndex,
                       const EncoderEntryPoints* library, QObject* window, int priority,
                       const QString& source, const QString& destination,
                       std::uint32_t avgBytesPerSec, const StreamChoice& choice) {
    if (library == nullptr || !library->beInitStream || !library->beEncodeChunk ||
        !library->beDeinitStream || !library->beCloseStream) {
        const char* text = libraryIndex == BLADE_LIBRARY
                               ? "Blade Encoder is not active for source file %s"
                               : "LAME Encoder is not active for source file %s";
        AddError(QString::asprintf(text, qPrintable(source)));
        return 0;
    }
    const std::uint32_t bitrate = avgBytesPerSec * 8 / 1000;
    return StartBeThread(libraryIndex, owner, *library, window, source, destination, bitrate,
                         priority, choice)
               ? 1
               : 0;
}

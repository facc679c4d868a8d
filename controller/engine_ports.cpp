#include "controller/engine_ports.h"

#include "app/encoder_app.h"
#include "controller/catalogue_codec.h"
#include "controller/tag_step.h"
#include "engines/catalogue.h"
#include "engines/library_binding.h"
#include "queue/encode_port.h"
#include "queue/wave_probe.h"

namespace {

// The catalogue's worker controls behind the encode port.
class CatalogueEncodePort : public EncodePort {
public:
    explicit CatalogueEncodePort(EncoderCatalogue& catalogue) : catalogue(catalogue) {}

    bool StartEncode(QObject* receiver, int priority, const QString& sourcePath,
                     const QString& outputPath, int driverIndex, int formatIndex,
                     double* audioSeconds) override {
        return catalogue.StartEncode(receiver, priority, sourcePath, outputPath, driverIndex,
                                     formatIndex, audioSeconds) == 1;
    }
    void PauseEncode() override { catalogue.PauseEncode(); }
    void ResumeEncode() override { catalogue.ResumeEncode(); }
    void CancelEncode() override { catalogue.CancelEncode(); }
    bool IsEncodeCancelled() const override { return catalogue.IsEncodeCancelled(); }
    void SetEncodePriority(int level) override { catalogue.SetEncodePriority(level); }

private:
    EncoderCatalogue& catalogue;
};

class RealEngines : public EnginePorts {
public:
    explicit RealEngines(CEncoderApp& app) : app(app), codec(catalogue), encoder(catalogue) {
        LoadEncoderLibraries();
        catalogue.Build(DefaultCatalogueSources(IsEncoderLibraryAvailable));
    }
    ~RealEngines() override { UnloadEncoderLibraries(); }

    EncodePort& Encoder() override { return encoder; }
    CodecPort& Codec() override { return codec; }
    WaveProbe Probe() override { return ReadWaveFacts; }
    std::function<void(QueueEntry&)> TagWriter() override {
        return [this](QueueEntry& entry) { WriteEntryTag(entry, app); };
    }
    const EncoderCatalogue* Catalogue() const override { return &catalogue; }

private:
    CEncoderApp& app;
    EncoderCatalogue catalogue;
    CatalogueCodec codec;
    CatalogueEncodePort encoder;
};

} // namespace

std::unique_ptr<EnginePorts> MakeEnginePorts(CEncoderApp& app) {
    return std::make_unique<RealEngines>(app);
}

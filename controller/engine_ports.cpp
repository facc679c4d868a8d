#include "controller/engine_ports.h"

#include "app/encoder_app.h"
#include "controller/catalogue_codec.h"
#include "controller/tag_step.h"
#include "engines/catalogue.h"
#include "engines/encode_control.h"
#include "engines/library_binding.h"
#include "queue/encode_port.h"
#include "queue/wave_probe.h"

#include <algorithm>
#include <vector>

namespace {

// One worker of the catalogue behind the encode port.
class CatalogueEncodePort : public EncodePort {
public:
    CatalogueEncodePort(EncoderCatalogue& catalogue, EncodeControl& control,
                        const EncoderSettings& settings)
        : catalogue(catalogue), control(control), settings(settings) {}

    bool StartEncode(QObject* receiver, int priority, const QString& sourcePath,
                     const QString& outputPath, int driverIndex, int formatIndex,
                     double* audioSeconds) override {
        return catalogue.StartEncodeOn(control, receiver, priority, sourcePath, outputPath,
                                       driverIndex, formatIndex, audioSeconds,
                                       settings.stereoMode == STEREO_MODE_JOINT) == 1;
    }
    void PauseEncode() override { control.PauseEncode(); }
    void ResumeEncode() override { control.ResumeEncode(); }
    void CancelEncode() override { control.CancelEncode(); }
    bool IsEncodeCancelled() const override { return control.IsEncodeCancelled(); }
    void SetEncodePriority(int level) override { control.SetEncodePriority(level); }

private:
    EncoderCatalogue& catalogue;
    EncodeControl& control;
    const EncoderSettings& settings;
};

// A worker beyond the first, with its own thread, pause gate and cancel.
struct ExtraWorker {
    ExtraWorker(EncoderCatalogue& catalogue, const EncoderSettings& settings)
        : port(catalogue, control, settings) {}
    EncodeControl control;
    CatalogueEncodePort port;
};

class RealEngines : public EnginePorts {
public:
    explicit RealEngines(CEncoderApp& app)
        : app(app), codec(catalogue), encoder(catalogue, EncodeControl::Shared(), app.settings) {
        LoadEncoderLibraries();
        catalogue.Build(DefaultCatalogueSources(IsEncoderLibraryAvailable));
    }
    ~RealEngines() override {
        // Their workers end before the libraries they run go.
        extraWorkers.clear();
        UnloadEncoderLibraries();
    }

    EncodePort& Encoder() override { return encoder; }
    CodecPort& Codec() override { return codec; }
    WaveProbe Probe() override { return ReadWaveFacts; }
    std::function<void(QueueEntry&)> TagWriter() override {
        return [this](QueueEntry& entry) { WriteEntryTag(entry, app); };
    }
    const EncoderCatalogue* Catalogue() const override { return &catalogue; }
    std::vector<EncodePort*> MoreWorkers(int count) override {
        while (int(extraWorkers.size()) < count) {
            extraWorkers.push_back(std::make_unique<ExtraWorker>(catalogue, app.settings));
        }
        std::vector<EncodePort*> ports;
        for (int i = 0; i < count; ++i) {
            ports.push_back(&extraWorkers[std::size_t(i)]->port);
        }
        return ports;
    }

private:
    CEncoderApp& app;
    EncoderCatalogue catalogue;
    CatalogueCodec codec;
    CatalogueEncodePort encoder;
    std::vector<std::unique_ptr<ExtraWorker>> extraWorkers;
};

} // namespace

MainController::Ports ControllerPorts(EnginePorts& engines, int workers) {
    MainController::Ports ports{engines.Encoder(), engines.Codec(), engines.Probe(), nullptr,
                                nullptr};
    ports.moreWorkers = engines.MoreWorkers(std::max(workers, 1) - 1);
    return ports;
}

std::unique_ptr<EnginePorts> MakeEnginePorts(CEncoderApp& app) {
    return std::make_unique<RealEngines>(app);
}

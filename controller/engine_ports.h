#pragma once

#include "controller/main_controller.h"
#include "queue/admission.h"

#include <functional>
#include <memory>
#include <vector>

class CEncoderApp;
class CodecPort;
class EncoderCatalogue;
class EncodePort;
struct QueueEntry;

// The real encoding machinery behind the controller's ports: the catalogue,
// the worker control, the wave reader and the tag writer.
class EnginePorts {
public:
    virtual ~EnginePorts() = default;
    virtual EncodePort& Encoder() = 0;
    virtual CodecPort& Codec() = 0;
    virtual WaveProbe Probe() = 0;
    // Fills an empty title from the file name, then tags the output.
    virtual std::function<void(QueueEntry&)> TagWriter() = 0;
    // The encoders and formats behind the ports, for the Options dialog.
    virtual const EncoderCatalogue* Catalogue() const { return nullptr; }
    // Workers beyond Encoder(), each encoding a file of its own; none when
    // the machinery has only the one.
    virtual std::vector<EncodePort*> MoreWorkers(int /*count*/) { return {}; }
};

// The controller's ports over these engines with this many local workers.
MainController::Ports ControllerPorts(EnginePorts& engines, int workers);

// Builds the catalogue from what is installed beside the program.
std::unique_ptr<EnginePorts> MakeEnginePorts(CEncoderApp& app);

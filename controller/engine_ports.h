#pragma once

#include "queue/admission.h"

#include <functional>
#include <memory>

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
};

// Builds the catalogue from what is installed beside the program.
std::unique_ptr<EnginePorts> MakeEnginePorts(CEncoderApp& app);

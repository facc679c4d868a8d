#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

class EncoderCatalogue;
struct EncoderSettings;

// An encoder and format named on the command line for one run.
struct FormatChoice {
    std::uint32_t manufacturerId = 0;
    std::uint32_t productId = 0;
    std::uint32_t channels = 0;
    std::uint32_t bytesPerSec = 0;
    std::optional<std::uint32_t> stereoMode; // given only when named

    void ApplyTo(EncoderSettings& settings) const;
};

// "ENCODER, FORMAT[, MODE]": ENCODER a word of an encoder's name ("lame",
// "blade", "xing"), FORMAT "V0" to "V9" or a bit rate in kbit/s with
// optionally "mono" and a sample rate in Hz ("128", "64 mono 22050"), MODE
// "joint" or "stereo". Nullopt with `problem` set when nothing matches.
std::optional<FormatChoice> ParseFormatChoice(const EncoderCatalogue& catalogue,
                                              const QString& text, QString* problem);

// One line per format: the choice that names it, a tab, its description.
QStringList ListFormatChoices(const EncoderCatalogue& catalogue);

#include "engines/library_binding.h"

#include "app/install_layout.h"
#include "app/trace.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>

#include <array>
#include <cstring>
#include <memory>

namespace {

struct BindingRow {
    const char* fileName;
    std::unique_ptr<QLibrary> module;
    EncoderEntryPoints entryPoints;
    bool available = false;
};

struct Binding {
    std::array<BindingRow, ENCODER_LIBRARY_COUNT> rows{
        {{"BladeEnc", nullptr, {}, false}, {"lame_enc", nullptr, {}, false}}};
    QString directory;
    bool searchLibraryPath = true;
};

Binding& TheBinding() {
    static Binding binding;
    return binding;
}

BindingRow* Row(int index) {
    if (index < 0 || index >= ENCODER_LIBRARY_COUNT) {
        return nullptr;
    }
    return &TheBinding().rows[static_cast<std::size_t>(index)];
}

QString SearchDirectory() {
    const Binding& binding = TheBinding();
    if (!binding.directory.isEmpty()) {
        return binding.directory;
    }
    return QCoreApplication::instance() != nullptr ? QCoreApplication::applicationDirPath()
                                                   : QString();
}

std::unique_ptr<QLibrary> Open(const char* fileName) {
    const QString directory = SearchDirectory();
    // Beside the program, then in the private folder of the install it
    // belongs to (a copy of the program started from bin/).
    for (const QString& folder : {directory, InstalledLibraryDirectory(directory)}) {
        if (folder.isEmpty()) {
            continue;
        }
        auto beside = std::make_unique<QLibrary>(QDir(folder).filePath(fileName));
        if (beside->load()) {
            return beside;
        }
    }
    if (TheBinding().searchLibraryPath) {
        auto onPath = std::make_unique<QLibrary>(fileName);
        if (onPath->load()) {
            return onPath;
        }
        Trace("loadencoderlibraries: couldn't load %s. error = %s\n", fileName,
              qPrintable(onPath->errorString()));
    } else {
        Trace("loadencoderlibraries: couldn't load %s from %s\n", fileName, qPrintable(directory));
    }
    return nullptr;
}

template <typename Function> bool Resolve(QLibrary& module, const char* name, Function& function) {
    function = reinterpret_cast<Function>(module.resolve(name));
    if (function == nullptr) {
        Trace("loadencoderlibraries: %s lacks the entry point %s\n", qPrintable(module.fileName()),
              name);
    }
    return function != nullptr;
}

bool Bind(BindingRow& row) {
    EncoderEntryPoints& e = row.entryPoints;
    QLibrary& module = *row.module;
    // Every lookup runs, so the trace names each missing entry point.
    const bool init = Resolve(module, "beInitStream", e.beInitStream);
    const bool encode = Resolve(module, "beEncodeChunk", e.beEncodeChunk);
    const bool deinit = Resolve(module, "beDeinitStream", e.beDeinitStream);
    const bool close = Resolve(module, "beCloseStream", e.beCloseStream);
    const bool version = Resolve(module, "beVersion", e.beVersion);
    // Optional: a library without it writes no Info frame.
    e.beWriteInfoTag = reinterpret_cast<BeWriteInfoTagFunc>(module.resolve("beWriteInfoTag"));
    return init && encode && deinit && close && version;
}

void Empty(BindingRow& row) {
    if (row.module) {
        row.module->unload();
        row.module.reset();
    }
    row.entryPoints = {};
    row.available = false;
}

} // namespace

int LoadEncoderLibraries() {
    int available = 0;
    for (BindingRow& row : TheBinding().rows) {
        Empty(row);
        row.module = Open(row.fileName);
        if (!row.module) {
            continue;
        }
        if (!Bind(row)) {
            Empty(row);
            continue;
        }
        row.available = true;
        ++available;
        Trace("loadencoderlibraries: bound %s\n", qPrintable(row.module->fileName()));
    }
    return available;
}

void UnloadEncoderLibraries() {
    for (BindingRow& row : TheBinding().rows) {
        Empty(row);
    }
}

bool IsEncoderLibraryAvailable(int index) {
    const BindingRow* row = Row(index);
    return row != nullptr && row->available;
}

int QueryEncoderLibraryVersion(int index, BE_VERSION* version) {
    const BindingRow* row = Row(index);
    if (row == nullptr || !row->available || version == nullptr) {
        return 0;
    }
    std::memset(version, 0, sizeof(*version));
    row->entryPoints.beVersion(version);
    // The text comes from outside; make sure it ends.
    version->zHomepage[BE_HOMEPAGE_CHARS] = '\0';
    return 1;
}

const EncoderEntryPoints* EncoderLibraryEntryPoints(int index) {
    const BindingRow* row = Row(index);
    return row != nullptr && row->available ? &row->entryPoints : nullptr;
}

void SetEncoderLibraryDirectory(const QString& directory, bool searchLibraryPath) {
    Binding& binding = TheBinding();
    binding.directory = directory;
    binding.searchLibraryPath = searchLibraryPath;
}

#include "gallery.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLayout>
#include <QScrollArea>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

int warningCount = 0;

void CountingHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg) {
        ++warningCount;
    }
    std::fprintf(stderr, "%s\n", qPrintable(message));
}

// Lets pending layout and paint events run so the grab shows the final look.
void Settle() {
    for (int i = 0; i < 3; ++i) {
        QApplication::processEvents();
    }
}

int WriteScreenshots(const QString& directory) {
    if (!QDir().mkpath(directory)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(directory));
        return 1;
    }
    int failures = 0;
    for (const GalleryPage& page : GalleryPages()) {
        std::unique_ptr<QWidget> widget = page.create();
        // The offscreen platform warns about size constraints on windows.
        if (widget->layout() != nullptr) {
            widget->layout()->setSizeConstraint(QLayout::SetNoConstraint);
            widget->resize(widget->sizeHint());
        }
        widget->show();
        Settle();
        const QString path = QDir(directory).filePath(page.name + QStringLiteral(".png"));
        if (!widget->grab().save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            ++failures;
        } else {
            std::printf("%s\n", qPrintable(path));
        }
    }
    return failures;
}

} // namespace

int main(int argc, char** argv) {
    QString screenshotDir;
    for (int i = 1; i < argc; ++i) {
        if (QString::fromLocal8Bit(argv[i]) == QLatin1String("--screenshot") && i + 1 < argc) {
            screenshotDir = QString::fromLocal8Bit(argv[i + 1]);
        }
    }
    // A private runtime directory for a bare CI environment, so Qt has
    // nothing to complain about but our own drawing.
    QTemporaryDir runtimeDir;
    if (!screenshotDir.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtimeDir.isValid()) {
            QFile::setPermissions(runtimeDir.path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
        }
        qInstallMessageHandler(CountingHandler);
    }
    QApplication app(argc, argv);
    if (!screenshotDir.isEmpty()) {
        const int failures = WriteScreenshots(screenshotDir);
        if (warningCount > 0) {
            std::fprintf(stderr, "%d Qt warning(s)\n", warningCount);
        }
        return failures == 0 && warningCount == 0 ? 0 : 1;
    }

    QTabWidget tabs;
    tabs.setWindowTitle(QStringLiteral("Controls gallery"));
    std::vector<std::unique_ptr<QWidget>> owned;
    for (const GalleryPage& page : GalleryPages()) {
        std::unique_ptr<QWidget> widget = page.create();
        if (widget->windowFlags() & Qt::FramelessWindowHint) {
            // Frameless pages stand as their own windows.
            widget->show();
            owned.push_back(std::move(widget));
            continue;
        }
        auto* scroll = new QScrollArea;
        scroll->setWidget(widget.release());
        tabs.addTab(scroll, page.name);
    }
    tabs.resize(900, 600);
    tabs.show();
    return QApplication::exec();
}

#include "CommandLine.h"
#include "DataRoot.h"
#include "MessageBox.h"
#include "NumberFormat.h"
#include "ShutdownSignals.h"
#include "SingleInstance.h"
#include "StartUp.h"
#include "TFormMain.h"

#include <QApplication>
#include <QLocale>

#include <cstdio>
#include <cstdlib>
#include <exception>

#ifndef HALVANE_VERSION
#define HALVANE_VERSION "0.0.0"
#endif

using namespace halvane;

namespace {

// Shows an error that escaped an event handler instead of ending the program silently.
class Application final : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            MessageBox::Error(activeWindow(), applicationName(), QString::fromLocal8Bit(e.what()));
        }
        return false;
    }
};

std::vector<std::string> Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

// Without a display the toolkit could not open a window at all: run offscreen instead.
void ChoosePlatform() {
    const bool hasDisplay = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    if (!hasDisplay && !std::getenv("QT_QPA_PLATFORM")) {
        std::fprintf(stderr, "No display found: running with the offscreen platform\n");
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
}

char LocaleDecimalSeparator() {
    const QString point = QLocale::system().decimalPoint();
    return point.size() == 1 && point[0].unicode() < 0x80 ? static_cast<char>(point[0].unicode())
                                                          : '.';
}

} // namespace

int main(int argc, char** argv) {
    const CommandLine commandLine = ParseCommandLine(Arguments(argc, argv));
    if (!commandLine.error.empty()) {
        std::fprintf(stderr, "halvane: %s\n\n%s", commandLine.error.c_str(), Usage());
        return 2;
    }
    if (commandLine.help) {
        std::fputs(Usage(), stdout);
        return 0;
    }
    if (commandLine.version) {
        std::printf("Halvane %s\n", HALVANE_VERSION);
        return 0;
    }
    ChoosePlatform();
    Application app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle.data()));
    QApplication::setApplicationVersion(HALVANE_VERSION);
    SetDecimalSeparator(LocaleDecimalSeparator());
    SetDataRoot(ChooseDataRoot(ProcessDataRootSources(
        commandLine.dataRoot, QCoreApplication::applicationDirPath().toStdString())));

    try {
        SingleInstance instance(QString::fromStdString(DataRoot()));
        if (instance.RaiseRunningInstance())
            return 0;
        TFormMain formMain(commandLine.runtime);
        // Listen before the creation step, so that a start racing this one finds us.
        instance.Listen([&formMain] { formMain.BringToFront(); });
        // A signal that comes during start-up is served once the message loop runs.
        ShutdownSignals shutdownSignals([&formMain] { formMain.close(); });
        if (!formMain.Create())
            return 1;
        formMain.show();
        return QApplication::exec();
    } catch (const std::exception& e) {
        MessageBox::Error(nullptr, QApplication::applicationName(),
                          QString::fromLocal8Bit(e.what()));
        return 1;
    }
}

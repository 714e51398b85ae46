#include "AccountCommands.h"
#include "CommandLine.h"
#include "DataRoot.h"
#include "MessageBox.h"
#include "NumberFormat.h"
#include "ProjectStart.h"
#include "ShutdownSignals.h"
#include "SingleInstance.h"
#include "StartUp.h"
#include "TFormMain.h"
#include "TemporaryFiles.h"

#include <QApplication>
#include <QLocale>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>

#include <unistd.h>

#ifndef HALVANE_VERSION
#define HALVANE_VERSION "0.0.0"
#endif

using namespace halvane;

namespace {

// How long a start waits for a station on the same data root that is ending.
constexpr std::chrono::seconds kWaitForEnd{10};

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

// The folder of this program, found without the toolkit (the last place for the data root).
std::string ExecutableFolder() {
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec).parent_path().string();
}

// Changes or lists the accounts and ends: no window, and no claim on the data root, so that
// it works beside a running station.
int RunAccountCommandOnly(const CommandLine& commandLine) {
    SetDataRoot(ChooseDataRoot(ProcessDataRootSources(commandLine.dataRoot, ExecutableFolder())));
    AccountStore store(UsersFile());
    return RunAccountCommand(*commandLine.account, store,
                             PasswordSource{std::cin, ::isatty(STDIN_FILENO) == 1}, std::cout,
                             std::cerr, JournalAccountChange);
}

char LocaleDecimalSeparator() {
    const QString point = QLocale::system().decimalPoint();
    return point.size() == 1 && point[0].unicode() < 0x80 ? static_cast<char>(point[0].unicode())
                                                          : '.';
}

// The exit status when another station keeps this start from running; none when this
// process is the station.
std::optional<int> ClaimStation(SingleInstance& instance) {
    switch (instance.ClaimOrRaise(kWaitForEnd)) {
    case SingleInstance::Claim::Raised:
        return 0;
    case SingleInstance::Claim::StillRunning:
        std::fprintf(stderr,
                     "Halvane is still running on %s and did not end within %lld s; not started\n",
                     DataRoot().c_str(), static_cast<long long>(kWaitForEnd.count()));
        return 1;
    case SingleInstance::Claim::Acquired:
        break;
    }
    return std::nullopt;
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
    if (commandLine.account)
        return RunAccountCommandOnly(commandLine);
    ChoosePlatform();
    Application app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle.data()));
    QApplication::setApplicationVersion(HALVANE_VERSION);
    SetDecimalSeparator(LocaleDecimalSeparator());
    SetDataRoot(ChooseDataRoot(ProcessDataRootSources(
        commandLine.dataRoot, QCoreApplication::applicationDirPath().toStdString())));

    try {
        SingleInstance instance(QString::fromStdString(DataRoot()));
        if (const std::optional<int> status = ClaimStation(instance))
            return *status;
        if (PrepareProject(DataRoot(), commandLine.newProject, commandLine.runtime,
                           QCoreApplication::applicationDirPath().toStdString(),
                           nullptr) == ProjectStart::Failed)
            return 1;
        // No other station writes here now: what a killed write left behind can go.
        RemoveStaleTemporaryFiles(ResolveDataPath(kConfigRelativePath).parent_path());
        TFormMain formMain(commandLine.runtime);
        // Listen before the creation step, so that a start racing this one finds us.
        instance.Listen([&formMain] { formMain.BringToFront(); });
        instance.WatchForClose(formMain);
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

#include "PlantModel.h"
#include "RtuServer.h"
#include "SimOptions.h"
#include "TcpServer.h"

#include <atomic>
#include <csignal>
#include <ctime>
#include <exception>
#include <iostream>
#include <memory>
#include <pthread.h>
#include <thread>

using namespace halvane::sim;

namespace {

constexpr long kSignalWaitNs = 100'000'000;

using Servers = std::vector<std::unique_ptr<SimServer>>;

// SIGTERM and SIGINT are blocked in every thread and taken by the main thread alone.
sigset_t BlockShutdownSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return signals;
}

Servers OpenServers(const SimOptions& options, PlantModel& model) {
    Servers servers;
    if (options.rtu)
        servers.push_back(std::make_unique<RtuServer>(*options.rtu, model));
    if (options.tcp)
        servers.push_back(std::make_unique<TcpServer>(*options.tcp, model));
    return servers;
}

std::string UnitList(const PlantModel& model) {
    std::string list;
    for (int unit : model.Units()) {
        if (!list.empty())
            list.push_back(',');
        list.append(std::to_string(unit));
    }
    return list;
}

// Runs every server on its own thread until a shutdown signal arrives or a server fails;
// returns the exit status.
int Serve(const Servers& servers, const PlantModel& model, const sigset_t& signals) {
    std::atomic<bool> failed = false;
    std::vector<std::jthread> threads;
    for (const auto& server : servers)
        threads.emplace_back([&server, &failed](std::stop_token stop) {
            try {
                server->Run(stop);
            } catch (const std::exception& error) {
                std::cerr << "halvane-sim: " << error.what() << std::endl;
                failed = true;
            }
        });
    for (const auto& server : servers)
        std::cout << "halvane-sim: serving units " << UnitList(model) << " over "
                  << server->Description() << std::endl;
    const timespec wait{0, kSignalWaitNs};
    while (!failed && sigtimedwait(&signals, nullptr, &wait) < 0) {
    }
    threads.clear(); // asks every server to stop and waits for it
    return failed ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    const SimOptions options = ParseSimOptions({argv + 1, argv + argc});
    if (options.help) {
        std::cout << SimUsage();
        return 0;
    }
    if (!options.error.empty()) {
        std::cerr << "halvane-sim: " << options.error << " (see --help)\n";
        return 2;
    }
    const sigset_t signals = BlockShutdownSignals();
    // A reply to a master that has gone must fail with EPIPE, not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    try {
        PlantModel model(options.units, options.moving);
        const Servers servers = OpenServers(options, model);
        return Serve(servers, model, signals);
    } catch (const std::exception& error) {
        std::cerr << "halvane-sim: " << error.what() << '\n';
        return 1;
    }
}

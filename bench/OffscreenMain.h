#pragma once

// The main function of the benchmarks that paint: they need a Qt application, which runs
// on the offscreen platform unless the command line or QT_QPA_PLATFORM names another.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

namespace halvane::bench {

// Makes an `Application` (QGuiApplication, QApplication), runs `prepare`, then the
// benchmarks named on the command line.
template <typename Application>
int RunOffscreen(int argc, char** argv, const std::function<void()>& prepare = {}) {
    std::vector<char*> args(argv, argv + argc);
    static char platformOption[] = "-platform";
    static char offscreen[] = "offscreen";
    const bool platformGiven = std::getenv("QT_QPA_PLATFORM") != nullptr ||
                               std::any_of(args.begin(), args.end(), [](const char* a) {
                                   return !std::strcmp(a, "-platform");
                               });
    if (!platformGiven)
        args.insert(args.begin() + 1, {platformOption, offscreen});
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    Application app(count, args.data());
    if (prepare)
        prepare();
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace halvane::bench

// For benchmarks of forms and the components on them, which also need the application object:
// one of each for the whole run, offscreen unless told otherwise.
#include "platform/vcl/Forms.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    vcl::TFrameworkApp qt(argc, argv);
    vcl::TApplication application;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

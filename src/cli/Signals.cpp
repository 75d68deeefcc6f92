#include "cli/Signals.h"

#include <unistd.h>

#include <csignal>

#include "cli/Options.h"

namespace kavro::app {

namespace {

// _exit is safe in a signal handler.
extern "C" void EndAtOnce(int) {
    _exit(kExitOk);
}

}  // namespace

void EndAtOnceOnSignals(bool on) {
    std::signal(SIGTERM, on ? EndAtOnce : SIG_DFL);
    std::signal(SIGINT, on ? EndAtOnce : SIG_DFL);
}

}  // namespace kavro::app

#include "toolkit/Processors.h"

#include <sched.h>

#include <algorithm>
#include <thread>

namespace kavro::toolkit {

unsigned ProcessorsAvailable() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        return std::max(1u, static_cast<unsigned>(CPU_COUNT(&set)));
    return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace kavro::toolkit

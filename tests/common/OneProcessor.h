#pragma once

#include <sched.h>

namespace kavro::testing {

// Confines this process to the first processor it may use, while it lives: what runs on a
// second thread elsewhere runs on this one's then.
class OneProcessor {
  public:
    OneProcessor() {
        if (sched_getaffinity(0, sizeof all_, &all_) != 0) return;
        cpu_set_t one;
        CPU_ZERO(&one);
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
            if (CPU_ISSET(cpu, &all_)) {
                CPU_SET(cpu, &one);
                break;
            }
        confined_ = sched_setaffinity(0, sizeof one, &one) == 0;
    }
    ~OneProcessor() {
        if (confined_) sched_setaffinity(0, sizeof all_, &all_);
    }
    OneProcessor(const OneProcessor&) = delete;
    OneProcessor& operator=(const OneProcessor&) = delete;
    bool Confined() const { return confined_; }

  private:
    cpu_set_t all_{};
    bool confined_ = false;
};

}  // namespace kavro::testing

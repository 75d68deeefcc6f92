#pragma once

namespace kavro::toolkit {

// The processors this process may run on: fewer than the machine has when it is confined to
// some (taskset, a container's CPU set). At least 1.
unsigned ProcessorsAvailable();

}  // namespace kavro::toolkit

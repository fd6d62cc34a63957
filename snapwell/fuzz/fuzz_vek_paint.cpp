// Fuzz target for the ".vek_paint" pose file.
#include <fuzz_input.h>

#include "config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const vekfuzz::MemoryFile file(data, size);
    if (!file.ok()) return 0;
    numerics::Pose pose{};
    const numerics::Pose before = pose;
    const snapwell::ConfigStatus status = snapwell::readConfigPose(file.path(), pose);
    // Only a whole file replaces the pose.
    if (status != snapwell::ConfigStatus::Read && !(pose == before)) __builtin_trap();
    return 0;
}

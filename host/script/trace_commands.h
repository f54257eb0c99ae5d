// The commands that drive a display from outside the script: a recorded trace (replay) and a
// target program run on an emulated board (firmware).
#pragma once

#include "script/commands.h"
#include "traces/pin_mapping.h"

#include <vector>

namespace qhost {

/// Plays `steps` onto the current display from now on: at each step's time the levels it drives
/// are written through SimWritePins ('x' leaves a pin at the level it has), then simulated time
/// runs on to `end` seconds after the start.
void playSteps(Interpreter& in, const std::vector<ReplayStep>& steps, double end, int line);

/// replay FILE.vcd [--map SIGNAL=PIN,...]
void replayTrace(Interpreter& in, const CommandArgs& args, int line);

/// firmware FILE.elf [--until TIME]
void runFirmwareOnDisplays(Interpreter& in, const CommandArgs& args, int line);

} // namespace qhost

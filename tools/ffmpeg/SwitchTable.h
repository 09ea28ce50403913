// The one table of the dialect: every switch of the conversion engine's lines, what it becomes
// for the system's ffmpeg, and what an output is given without a switch of its own.
#pragma once

#include <string>

namespace tarnivo::ffmpeg_front_end {

struct OutputPlan;
struct Translation;

using SwitchAction = void (*)(const OutputPlan&, const std::string& value, Translation&);
using AdditionAction = void (*)(const OutputPlan&, Translation&);

struct SwitchRule {
    const char* dialectSwitch;
    bool takesValue;
    SwitchAction apply;
    const char* becomes;  // what the rule does, as documentation
};

struct AdditionRule {
    const char* when;  // what the rule does, as documentation
    AdditionAction apply;
};

// The rule of a switch of the dialect; null for every other argument.
const SwitchRule* FindSwitchRule(const std::string& argument);

// Runs every addition, in the table's order, after the output's switches.
void ApplyAdditions(const OutputPlan& plan, Translation& out);

}  // namespace tarnivo::ffmpeg_front_end

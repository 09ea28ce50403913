#include "InputFacts.h"

#include "MediaColours.h"

#include <utility>

namespace tarnivo::media {

namespace {

using Colour = std::pair<const char*, std::string InputFacts::*>;
const Colour kColours[] = {{kInputMatrixVariable, &InputFacts::matrix},
                           {kInputPrimariesVariable, &InputFacts::primaries},
                           {kInputTransferVariable, &InputFacts::transfer},
                           {kInputRangeVariable, &InputFacts::range}};

}  // namespace

bool InputFacts::operator==(const InputFacts& other) const
{
    return matrix == other.matrix && primaries == other.primaries && transfer == other.transfer &&
           range == other.range && frameRate == other.frameRate;
}

std::vector<std::string> ColourEnvironment(const InputFacts& facts)
{
    std::vector<std::string> entries;
    for (const auto& [variable, member] : kColours)
        entries.push_back(std::string(variable) + "=" + (IsColourName(facts.*member) ? facts.*member : ""));
    return entries;
}

InputFacts ColourFactsFrom(const std::function<const char*(const char*)>& lookup)
{
    InputFacts facts;
    for (const auto& [variable, member] : kColours) {
        const char* value = lookup(variable);
        if (value && IsColourName(value))
            facts.*member = value;
    }
    return facts;
}

InputFacts Merged(const InputFacts& stated, const InputFacts& given)
{
    InputFacts merged = given;
    for (const auto& [variable, member] : kColours) {
        if (!(stated.*member).empty())
            merged.*member = stated.*member;
    }
    if (!stated.frameRate.empty())
        merged.frameRate = stated.frameRate;
    return merged;
}

}  // namespace tarnivo::media

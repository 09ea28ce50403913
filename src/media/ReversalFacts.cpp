#include "ReversalFacts.h"

#include "MediaRates.h"

#include <cstdlib>
#include <utility>

namespace tarnivo::media {

namespace {

using Entry = std::pair<const char*, std::string ReversalFacts::*>;
const Entry kEntries[] = {{kFramesRateVariable, &ReversalFacts::framesRate},
                          {kFramesStartVariable, &ReversalFacts::framesStart},
                          {kFramesLengthVariable, &ReversalFacts::framesLength},
                          {kFramesFiltersVariable, &ReversalFacts::framesFilters},
                          {kSoundStartVariable, &ReversalFacts::soundStart},
                          {kSoundLengthVariable, &ReversalFacts::soundLength},
                          {kFramesQualityVariable, &ReversalFacts::framesQuality},
                          {kSoundChannelsVariable, &ReversalFacts::soundChannels},
                          {kForwardSoundVariable, &ReversalFacts::forwardSound}};

// Seconds written as digits with at most one ".", not below 0.
bool isSeconds(const std::string& text)
{
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos ||
        text.find('.') != text.rfind('.'))
        return false;
    return text != ".";
}

bool fits(const char* variable, const std::string& value)
{
    const std::string name = variable;
    if (name == kFramesRateVariable)
        return RateValue(value) > 0;
    if (name == kFramesFiltersVariable || name == kForwardSoundVariable)
        return true;
    if (name == kFramesQualityVariable)
        return value == kFinestFrames || value == kExactFrames;
    if (name == kSoundChannelsVariable)
        return value == kSourceChannels;
    return isSeconds(value);
}

}  // namespace

bool ReversalFacts::operator==(const ReversalFacts& other) const
{
    for (const auto& [variable, member] : kEntries) {
        if (this->*member != other.*member)
            return false;
    }
    return true;
}

std::vector<std::string> ReversalEnvironment(const ReversalFacts& facts)
{
    std::vector<std::string> entries;
    for (const auto& [variable, member] : kEntries)
        entries.push_back(std::string(variable) + "=" + facts.*member);
    return entries;
}

ReversalFacts ReversalFactsFrom(const std::function<const char*(const char*)>& lookup)
{
    ReversalFacts facts;
    for (const auto& [variable, member] : kEntries) {
        const char* value = lookup(variable);
        if (value && *value && fits(variable, value))
            facts.*member = value;
    }
    return facts;
}

}  // namespace tarnivo::media

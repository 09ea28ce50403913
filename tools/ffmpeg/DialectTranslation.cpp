#include "DialectTranslation.h"

#include "FrameExtraction.h"
#include "OutputPlan.h"
#include "ReversalLines.h"
#include "SwitchTable.h"
#include "Translation.h"

#include <utility>

namespace tarnivo::ffmpeg_front_end {

namespace {

// Options before an input belong to that input; the output's options start after the last
// "-i" and its file.
size_t outputSectionStart(const std::vector<std::string>& arguments)
{
    size_t start = 0;
    for (size_t i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == "-i") {
            start = i + 2;
            ++i;
        }
    }
    return start;
}

// What the options of the last input (those after the input before it) say of its pictures.
media::InputFacts readInputFacts(const std::vector<std::string>& arguments, size_t outputStart)
{
    size_t first = 0;
    size_t lastInput = 0;
    for (size_t i = 0; i + 1 < outputStart; ++i) {
        if (arguments[i] == "-i") {
            first = lastInput;
            lastInput = i + 2;
            ++i;
        }
    }
    media::InputFacts facts;
    const std::pair<const char*, std::string media::InputFacts::*> options[] = {
        {"-colorspace", &media::InputFacts::matrix},
        {"-color_primaries", &media::InputFacts::primaries},
        {"-color_trc", &media::InputFacts::transfer},
        {"-color_range", &media::InputFacts::range},
        {"-r", &media::InputFacts::frameRate}};
    for (size_t i = first; i + 1 < lastInput; ++i) {
        if (arguments[i] == "-i") {
            ++i;
            continue;
        }
        for (const auto& [option, member] : options) {
            if (arguments[i] == option)
                facts.*member = arguments[i + 1];
        }
    }
    return facts;
}

// Each switch of the output rewritten by its rule, then the additions, then the one chain.
std::vector<std::string> translateOutput(const std::vector<std::string>& output,
                                         const media::InputFacts& facts)
{
    const OutputPlan plan = PlanOutput(output, facts);
    Translation out;
    for (size_t i = 0; i < plan.options.size(); ++i) {
        const SwitchRule* rule = FindSwitchRule(plan.options[i]);
        const bool valueMissing = rule && rule->takesValue && i + 1 >= plan.options.size();
        if (!rule || valueMissing) {
            out.arguments.push_back(plan.options[i]);
            continue;
        }
        const std::string value = rule->takesValue ? plan.options[++i] : std::string();
        rule->apply(plan, value, out);
    }
    ApplyAdditions(plan, out);
    const std::string chain = FilterChain(out);
    if (!chain.empty() && plan.CarriesPictures())
        out.Emit({"-vf", chain});
    if (plan.hasDestination)
        out.arguments.push_back(plan.destination);
    return out.arguments;
}

}  // namespace

std::vector<std::string> TranslateArguments(const std::vector<std::string>& given,
                                            const media::InputFacts& facts,
                                            const media::ReversalFacts& reversal)
{
    const std::vector<std::string> arguments = WithReversalFacts(given, reversal);
    if (IsFrameExtraction(arguments))
        return TranslateFrameExtraction(arguments, reversal);
    return TranslateByRules(arguments, facts);
}

std::vector<std::string> TranslateByRules(const std::vector<std::string>& arguments,
                                          const media::InputFacts& facts)
{
    const size_t start = outputSectionStart(arguments);
    std::vector<std::string> result(arguments.begin(), arguments.begin() + start);
    const std::vector<std::string> output = translateOutput(
        {arguments.begin() + start, arguments.end()}, media::Merged(readInputFacts(arguments, start), facts));
    result.insert(result.end(), output.begin(), output.end());
    return result;
}

}  // namespace tarnivo::ffmpeg_front_end

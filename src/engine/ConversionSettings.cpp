#include "ConversionSettings.h"

#include <sstream>

namespace tarnivo {

const std::vector<SettingSwitch>& SettingSwitches()
{
    using S = ConversionSettings;
    static const std::vector<SettingSwitch> switches = {
        {"-b", &S::videoBitrate, nullptr},
        {"-r", &S::videoFrameRate, nullptr},
        {"-s", &S::videoSize, nullptr},
        {"-vcodec", &S::videoCodec, nullptr},
        {"-vtag", &S::videoFourCCTag, nullptr},
        {"-aspect", &S::videoAspectRatio, nullptr},
        {"-bt", &S::videoBitrateTolerance, nullptr},
        {"-f", &S::forceFormat, nullptr},
        {"-target", &S::targetFormat, nullptr},
        {"-bufsize", &S::rateControlBuffer, nullptr},
        {"-g", &S::groupOfPictureSize, nullptr},
        {"-qscale", &S::videoQuantiserScale, nullptr},
        {"-maxrate", &S::maxVideoBitrate, nullptr},
        {"-deinterlace", nullptr, &S::deInterlace},
        {"-sameq", nullptr, &S::sameQuality},
        {"-acodec", &S::audioCodec, nullptr},
        {"-atag", &S::audioFourCCTag, nullptr},
        {"-ab", &S::audioBitrate, nullptr},
        {"-ar", &S::audioSamples, nullptr},
        {"-ac", &S::audioChannels, nullptr},
        {"", &S::outputOptions, nullptr},
    };
    return switches;
}

namespace {

void appendWords(std::vector<std::string>& arguments, const std::string& options)
{
    std::istringstream words(options);
    std::string word;
    while (words >> word)
        arguments.push_back(word);
}

}  // namespace

std::vector<std::string> SettingArguments(const ConversionSettings& settings)
{
    std::vector<std::string> arguments;
    for (const SettingSwitch& setting : SettingSwitches()) {
        if (setting.text && !(settings.*setting.text).empty() && !*setting.switchText)
            appendWords(arguments, settings.*setting.text);
        else if (setting.text && !(settings.*setting.text).empty())
            arguments.insert(arguments.end(), {setting.switchText, settings.*setting.text});
        else if (setting.flag && settings.*setting.flag)
            arguments.push_back(setting.switchText);
    }
    return arguments;
}

void ApplyGivenSettings(ConversionSettings& settings, const ConversionSettings& given)
{
    for (const SettingSwitch& setting : SettingSwitches()) {
        if (setting.text && !(given.*setting.text).empty())
            settings.*setting.text = given.*setting.text;
        else if (setting.flag && given.*setting.flag)
            settings.*setting.flag = true;
    }
}

}  // namespace tarnivo

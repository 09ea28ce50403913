#include "MediaRates.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace tarnivo::media {

namespace {

// Digits, then optionally "." and digits; the length read, 0 when text does not start so.
size_t decimalLength(const std::string& text, size_t from)
{
    auto digitsFrom = [&](size_t at) {
        size_t end = at;
        while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])))
            ++end;
        return end - at;
    };
    const size_t whole = digitsFrom(from);
    if (whole == 0)
        return 0;
    const size_t point = from + whole;
    if (point < text.size() && text[point] == '.') {
        const size_t fraction = digitsFrom(point + 1);
        return fraction == 0 ? 0 : whole + 1 + fraction;
    }
    return whole;
}

}  // namespace

double RateValue(const std::string& rate)
{
    const size_t numerator = decimalLength(rate, 0);
    if (numerator == 0)
        return 0;
    double denominator = 1;
    if (numerator < rate.size()) {
        if (rate[numerator] != '/' || decimalLength(rate, numerator + 1) != rate.size() - numerator - 1)
            return 0;
        denominator = std::strtod(rate.c_str() + numerator + 1, nullptr);
    }
    const double value = std::strtod(rate.c_str(), nullptr) / denominator;
    return denominator > 0 && std::isfinite(value) ? value : 0;
}

std::string ChooseFrameRate(const std::string& nominal, const std::string& average)
{
    const double nominalValue = RateValue(nominal);
    const double averageValue = RateValue(average);
    const bool nominalIsAFrameRate =
        nominalValue > 0 && (averageValue <= 0 || nominalValue <= 2 * averageValue);
    const std::string rate = nominalIsAFrameRate ? nominal : averageValue > 0 ? average : std::string();
    if (rate.empty())
        return kImageSequenceRate;
    if (RateValue(rate) <= kHighestFrameRate)
        return rate;
    return averageValue > 0 ? std::to_string(static_cast<long>(kHighestFrameRate)) : kImageSequenceRate;
}

int NearestOf(const std::vector<int>& values, double wanted)
{
    return *std::min_element(values.begin(), values.end(),
                             [&](int a, int b) { return std::fabs(a - wanted) < std::fabs(b - wanted); });
}

}  // namespace tarnivo::media

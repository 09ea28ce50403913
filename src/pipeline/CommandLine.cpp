#include "CommandLine.h"

namespace tarnivo {

std::vector<std::string> SplitCommandLine(const std::string& commandLine)
{
    std::vector<std::string> arguments;
    std::string current;
    bool inQuotes = false;
    bool haveArgument = false;
    const size_t length = commandLine.size();

    for (size_t i = 0; i < length;) {
        const char c = commandLine[i];
        if (c == '\\') {
            size_t backslashes = 0;
            while (i < length && commandLine[i] == '\\') {
                ++backslashes;
                ++i;
            }
            haveArgument = true;
            if (i < length && commandLine[i] == '"') {
                current.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    current.push_back('"');
                    ++i;
                }
                // With an even count the quote is handled by the next pass as a delimiter.
            } else {
                current.append(backslashes, '\\');
            }
            continue;
        }
        if (c == '"') {
            inQuotes = !inQuotes;
            haveArgument = true;
        } else if ((c == ' ' || c == '\t') && !inQuotes) {
            if (haveArgument) {
                arguments.push_back(current);
                current.clear();
                haveArgument = false;
            }
        } else {
            current.push_back(c);
            haveArgument = true;
        }
        ++i;
    }
    if (haveArgument)
        arguments.push_back(current);
    return arguments;
}

std::string QuoteArgument(const std::string& argument)
{
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            quoted.append(backslashes * 2 + 1, '\\');
            quoted.push_back('"');
        } else {
            quoted.append(backslashes, '\\');
            quoted.push_back(c);
        }
        backslashes = 0;
    }
    // Backslashes before the closing quote would escape it: double them.
    quoted.append(backslashes * 2, '\\');
    quoted.push_back('"');
    return quoted;
}

std::string EscapePercent(const std::string& text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        escaped.push_back(c);
        if (c == '%')
            escaped.push_back('%');
    }
    return escaped;
}

std::string UnescapePercent(const std::string& text)
{
    std::string plain;
    plain.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        plain.push_back(text[i]);
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '%')
            ++i;
    }
    return plain;
}

bool CanBeCarriedOnCommandLine(const std::string& text)
{
    return text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

}  // namespace tarnivo

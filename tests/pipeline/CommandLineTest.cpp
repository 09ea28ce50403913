#include "CommandLine.h"

#include <gtest/gtest.h>

#include <random>

using tarnivo::CanBeCarriedOnCommandLine;
using tarnivo::EscapePercent;
using tarnivo::QuoteArgument;
using tarnivo::SplitCommandLine;
using tarnivo::UnescapePercent;
using Args = std::vector<std::string>;

TEST(CommandLineSplit, FollowsTheBackslashAndQuoteRules)
{
    EXPECT_EQ(SplitCommandLine("a  b\tc"), (Args{"a", "b", "c"}));
    EXPECT_EQ(SplitCommandLine("\"a b\" c"), (Args{"a b", "c"}));
    EXPECT_EQ(SplitCommandLine("a\\\\b"), (Args{"a\\\\b"}));          // lone backslashes are literal
    EXPECT_EQ(SplitCommandLine("a\\\"b"), (Args{"a\"b"}));            // \" is a literal quote
    EXPECT_EQ(SplitCommandLine("\"a\\\\\" b"), (Args{"a\\", "b"}));   // 2n backslashes + quote
    EXPECT_EQ(SplitCommandLine("\"a\\\\\\\"b\""), (Args{"a\\\"b"}));  // 2n+1 backslashes + quote
    EXPECT_EQ(SplitCommandLine("x\"\"y"), (Args{"xy"}));
    EXPECT_EQ(SplitCommandLine("\"\" b"), (Args{"", "b"}));  // an empty quoted argument counts
    EXPECT_EQ(SplitCommandLine("   "), Args{});
    EXPECT_EQ(SplitCommandLine("p  -i \"c d\"  -c copy"), (Args{"p", "-i", "c d", "-c", "copy"}));
}

TEST(CommandLineQuote, LeavesOrdinaryPathsAsWritten)
{
    EXPECT_EQ(QuoteArgument("/tmp/my clip.avi"), "\"/tmp/my clip.avi\"");
    EXPECT_EQ(QuoteArgument(""), "\"\"");
    EXPECT_EQ(QuoteArgument("a\\b"), "\"a\\b\"");
    EXPECT_EQ(QuoteArgument("a\"b"), "\"a\\\"b\"");
    EXPECT_EQ(QuoteArgument("a\\"), "\"a\\\\\"");
}

TEST(CommandLineQuote, HostileTextsSurviveTheRoundTrip)
{
    const Args hostile = {"/tmp/x y/\"quoted\" name.avi",
                          "$(touch pwned)",
                          "`id`",
                          "%PATH%",
                          "100%",
                          "back\\slash\\",
                          "\\\\server\\share\\",
                          "ends with quote\"",
                          "\\\"",
                          "\"",
                          "tab\there",
                          "naïve Ünïcödé 日本語.mp4",
                          "a;b|c&d>e<f",
                          "'single'",
                          "*?[]{}"};
    for (const std::string& text : hostile) {
        const std::string line = "prog " + QuoteArgument(text) + " " + QuoteArgument(text) + " tail";
        EXPECT_EQ(SplitCommandLine(line), (Args{"prog", text, text, "tail"})) << text;
    }
}

TEST(CommandLineQuote, RandomBytesSurviveTheRoundTrip)
{
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> length(0, 24);
    // Weighted towards the characters the rules care about.
    const std::string special = "\\\"  \t%$";
    std::uniform_int_distribution<int> pick(0, 3);
    std::uniform_int_distribution<int> anyByte(1, 255);
    std::uniform_int_distribution<size_t> specialIndex(0, special.size() - 1);
    for (int round = 0; round < 20000; ++round) {
        Args arguments;
        const int count = 1 + round % 4;
        for (int a = 0; a < count; ++a) {
            std::string text;
            for (int i = length(random); i > 0; --i) {
                char c =
                    pick(random) == 0 ? static_cast<char>(anyByte(random)) : special[specialIndex(random)];
                if (c == '\n' || c == '\r')
                    c = '\\';
                text.push_back(c);
            }
            arguments.push_back(text);
        }
        std::string line;
        for (const std::string& argument : arguments)
            line += QuoteArgument(argument) + " ";
        ASSERT_EQ(SplitCommandLine(line), arguments) << line;
    }
}

TEST(CommandLineBatch, PercentEscapingRoundTripsAndLineBreaksAreRefused)
{
    EXPECT_EQ(EscapePercent("%PATH% 100%"), "%%PATH%% 100%%");
    EXPECT_EQ(UnescapePercent(EscapePercent("%%06d %x%")), "%%06d %x%");
    EXPECT_EQ(UnescapePercent("%%06d.jpg"), "%06d.jpg");
    EXPECT_EQ(UnescapePercent("50% off"), "50% off");
    EXPECT_TRUE(CanBeCarriedOnCommandLine("/tmp/a b/$(x)/%y%"));
    EXPECT_FALSE(CanBeCarriedOnCommandLine("/tmp/a\nb.avi"));
    EXPECT_FALSE(CanBeCarriedOnCommandLine("/tmp/a\rb.avi"));
    EXPECT_FALSE(CanBeCarriedOnCommandLine(std::string("a\0b", 3)));
}

// Splitting and quoting of command lines.
//
// A command line is one text; the programs it starts get an argument vector. The splitting
// rules are fixed here once for the whole program and for the helper programs it carries:
//   - spaces and tabs separate arguments outside double quotes;
//   - a double quote starts or ends a quoted stretch (an empty "" still makes an argument);
//   - 2n backslashes followed by a double quote give n backslashes, and the quote acts as above;
//   - 2n+1 backslashes followed by a double quote give n backslashes and a literal quote;
//   - backslashes not followed by a double quote are literal.
// No shell ever sees a command line.
#pragma once

#include <string>
#include <vector>

namespace tarnivo {

std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// The argument between double quotes, escaped so that SplitCommandLine gives back exactly
// the argument. An argument without double quotes and without trailing backslashes is
// written unchanged between the quotes.
std::string QuoteArgument(const std::string& argument);

// Batch files turn "%%" into "%": every "%" of a text written into a batch file is doubled.
std::string EscapePercent(const std::string& text);

// Undoes EscapePercent: every "%%" becomes "%"; a single "%" stays as it is.
std::string UnescapePercent(const std::string& text);

// A text that holds a line break or a NUL cannot be carried on a command line or in a
// batch file line.
bool CanBeCarriedOnCommandLine(const std::string& text);

}  // namespace tarnivo

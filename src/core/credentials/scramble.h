// Password scrambling for the credentials file and the login value in the registry.
#pragma once

#include <cstdint>
#include <string>

namespace pelldra {

// Shifts each byte by a running key that starts at a value taken from the clock, puts the start key in front and
// URL-encodes the result: only letters, digits, "_", "+" and "%" remain. "" stays "". The key is local to each call,
// so both functions may run on any number of threads at once.
std::string ScramblePassword(const std::string& text);
// The same at a given time (seconds since 1970): the clock only picks the start key.
std::string ScramblePassword(const std::string& text, std::int64_t now);
// Reverses ScramblePassword; blanks around the text are ignored.
std::string UnscramblePassword(const std::string& text);

} // namespace pelldra

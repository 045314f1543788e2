// The controlling terminal: the credentials question with a hidden password, and the progress line.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "core/engine/engine_observer.h"

namespace pelldra::cli {

// Asks for a user name and a password on /dev/tty, the password not echoed. Refused when there is no terminal,
// on end of input, after limit, or as soon as prompt is cancelled.
CredentialsAnswer AskOnTerminal(const std::string& url, std::chrono::milliseconds limit, CredentialsPrompt& prompt);

// "12.5 MiB" and the like.
std::string HumanBytes(int64_t n);

// The progress line's text (without the carriage return); total: the run's file count, -1 when not known.
std::string ProgressText(const ProgressSnapshot& p, long long total);

} // namespace pelldra::cli

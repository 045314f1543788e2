// The controlling terminal: the credentials question with a hidden password.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "core/engine/engine_observer.h"

namespace pelldra::cli {

// Asks for a user name and a password on /dev/tty, the password not echoed. Refused when there is no terminal,
// on end of input, after limit, or as soon as prompt is cancelled.
CredentialsAnswer AskOnTerminal(const std::string& url, std::chrono::milliseconds limit, CredentialsPrompt& prompt);

} // namespace pelldra::cli

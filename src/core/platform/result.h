// A small integer result code with the message the caller shows for it.
#pragma once

#include <string>

namespace pelldra {

struct Result
{
    int code = 0;        // 0 success; otherwise the code the operation documents
    std::string message; // the text to show for a non-zero code, exactly as the program words it

    bool ok() const { return code == 0; }
    static Result success() { return {}; }
    static Result failure(int c, std::string text) { return {c, std::move(text)}; }
};

} // namespace pelldra

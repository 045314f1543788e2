// Fuzz target: list file bytes through the text decoding into job lines; the UTF-8 check against iconv's.
#include <iconv.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/orders/list_order.h"
#include "core/text/text_decoding.h"
#include "require.h"

using namespace pelldra;

namespace {

// glibc's own strict UTF-8 decoder as the reference for IsValidUtf8.
bool IconvAcceptsUtf8(const std::string& s)
{
    IconvHandle cd("UTF-32LE", "UTF-8");
    Require(cd.valid(), "iconv UTF-8 available");
    char* in = const_cast<char*>(s.data());
    size_t left = s.size();
    std::vector<char> out(s.size() * 4 + 4);
    char* dst = out.data();
    size_t room = out.size();
    return iconv(cd.get(), &in, &left, &dst, &room) != static_cast<size_t>(-1) && left == 0;
}

bool StartsWith(const std::string& s, const char* prefix)
{
    return s.rfind(prefix, 0) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    Require(IsValidUtf8(bytes) == IconvAcceptsUtf8(bytes), "UTF-8 check agrees with iconv");

    std::string text;
    if (!DecodeLegacyText(bytes, text))
        return 0;
    Require(IsValidUtf8(text), "decoded text is UTF-8");

    std::vector<std::string> lines;
    if (!MakeJobLines(text, "/dl/", lines).empty()) {
        Require(lines.empty(), "a refused list gives no lines");
        return 0;
    }
    size_t targs = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        Require(lines[i].find('\n') == std::string::npos, "no line break inside a line");
        if (StartsWith(lines[i], "Dest: "))
            Require(lines[i].size() > 7 && lines[i][6] == '/' && lines[i].find("/../") == std::string::npos &&
                        lines[i].back() != '/',
                    "every Dest names a file by a path without a step up");
        if (StartsWith(lines[i], "Targ:")) {
            ++targs;
            Require(i + 1 < lines.size() && StartsWith(lines[i + 1], "Dest:"), "every Targ is followed by its Dest");
            Require(lines[i + 1].find('?') == std::string::npos, "no ? in a Targ's Dest line");
        }
    }
    // Each input line gives at least one line, and a Targ line at most one more.
    size_t inputLines = 0;
    for (size_t p = 0; p < text.size(); ++inputLines) {
        const size_t nl = text.find('\n', p);
        p = nl == std::string::npos ? text.size() : nl + 1;
    }
    Require(lines.size() >= inputLines && lines.size() <= inputLines + targs, "line count");
    return 0;
}

// tavin-reg: reads and writes the per-user registry store from a shell.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "core/registry/tavin_reg_key.h"

namespace {

using pelldra::CTavinRegKey;

const char kUsage[] =
    "usage: tavin-reg get KEY NAME          print the value and a newline (an empty line when it is missing)\n"
    "       tavin-reg set KEY NAME VALUE    replace the value, creating the key\n"
    "       tavin-reg take KEY NAME         print the value and a newline, then empty it\n"
    "       tavin-reg list [KEY]            list the values of KEY and the keys below it (all without KEY)\n"
    "\n"
    "KEY is a path such as 'Software\\Tavin\\Pelldra'; keys and names ignore ASCII case.\n"
    "list prints one line per value: key, name and value, each in double quotes and separated by a space.\n"
    "Inside the quotes \\\\ is a back slash, \\\" a double quote, \\n \\r \\t line feed, carriage return and tab,\n"
    "and \\xHH (exactly two hexadecimal digits) any other control byte; all other bytes stand for themselves.\n"
    "\n"
    "Exit status: 0 done, 1 the store could not be opened or written, 2 bad arguments.\n";

constexpr int kFailed = 1;
constexpr int kBadArguments = 2;

int Usage(const std::string& problem)
{
    std::cerr << "tavin-reg: " << problem << "\n" << kUsage;
    return kBadArguments;
}

// Writes the caption and text of a store failure to standard error and remembers that one happened.
struct Reporter
{
    bool failed = false;
    CTavinRegKey::ErrorReporter callback()
    {
        return [this](const std::string& caption, const std::string& text) {
            failed = true;
            std::cerr << caption << "\n" << text << "\n";
        };
    }
};

std::string Quote(const std::string& s)
{
    static const char hex[] = "0123456789abcdef";
    std::string out = "\"";
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        switch (ch) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c == 0x7f) {
                out += "\\x";
                out += hex[c >> 4];
                out += hex[c & 0x0f];
            } else {
                out += ch;
            }
        }
    }
    return out + "\"";
}

// Prints the value followed by a newline; a failed write of standard output is a failure too.
int PrintValue(const std::string& value)
{
    std::cout << value << '\n' << std::flush;
    return std::cout ? 0 : kFailed;
}

int Get(const std::string& key, const std::string& name)
{
    Reporter reporter;
    // Open-only, so that reading never creates a key.
    const CTavinRegKey reg(key, true, reporter.callback());
    if (reporter.failed)
        return kFailed;
    return PrintValue(reg.GetString(name));
}

int Set(const std::string& key, const std::string& name, const std::string& value)
{
    Reporter reporter;
    CTavinRegKey reg(key, false, reporter.callback());
    if (reporter.failed)
        return kFailed;
    if (reg.SetString(name, value) != 0) {
        std::cerr << "tavin-reg: could not write " << Quote(name) << " of " << Quote(key) << "\n";
        return kFailed;
    }
    return 0;
}

int Take(const std::string& key, const std::string& name)
{
    Reporter reporter;
    const CTavinRegKey probe(key, true, reporter.callback());
    if (reporter.failed)
        return kFailed;
    if (!probe.IsOpen())
        return PrintValue("");
    CTavinRegKey reg(key, false, reporter.callback());
    if (reporter.failed)
        return kFailed;
    return PrintValue(reg.Take(name));
}

int List(const std::string& key)
{
    std::vector<pelldra::RegValue> values;
    std::string error;
    if (!CTavinRegKey::ListValues(key, values, error)) {
        std::cerr << CTavinRegKey::kErrorCaption << "\n" << error << "\n";
        return kFailed;
    }
    for (const auto& v : values)
        std::cout << Quote(v.key) << ' ' << Quote(v.name) << ' ' << Quote(v.value) << '\n';
    std::cout << std::flush;
    return std::cout ? 0 : kFailed;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return Usage("a command is missing");
    const std::string& command = args[0];
    const size_t operands = args.size() - 1;
    if (command == "-h" || command == "--help") {
        std::cout << kUsage;
        return 0;
    }
    if (command == "get" && operands == 2)
        return Get(args[1], args[2]);
    if (command == "set" && operands == 3)
        return Set(args[1], args[2], args[3]);
    if (command == "take" && operands == 2)
        return Take(args[1], args[2]);
    if (command == "list" && operands <= 1)
        return List(operands == 1 ? args[1] : "");
    if (command == "get" || command == "set" || command == "take" || command == "list")
        return Usage("wrong number of arguments for " + command);
    return Usage("unknown command '" + command + "'");
}

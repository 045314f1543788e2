// Fuzzes the settings file reader: any bytes are read without harm, what was read writes back unchanged, and the
// written file cut at any byte gives each value either as the whole file has it or as its default, nothing else.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings/settings_file.h"
#include "require.h"

using namespace pelldra;

namespace {

// Every value as text, in the order of the file.
std::vector<std::string> Values(const StoredSettings& s)
{
    const DetailSettings& d = s.detail;
    std::vector<std::string> v = {
        s.url, s.folder.value_or("(none)"), s.appText, d.Referer, d.ProxyHost, d.ProxyPort, d.AuthUser, d.AuthPassword};
    for (const int i :
         {d.BossKey, d.SameFolderAsLinkScout, d.UseProxy, d.NoProxyForLocal, d.UseCache, d.Browser, d.WholeSequence,
          d.Speed, d.AcceptOtherFile, d.assumeFixedDigits, d.Reserved, d.syncFlags, d.NoUpdateLinks,
          d.UseCredentialManager, d.ConfirmUserAtStart, d.RecordPassword, s.FixedWidth, static_cast<int>(s.jobMode)})
        v.push_back(std::to_string(i));
    return v;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const StoredSettings read = ParseSettings(std::string_view(reinterpret_cast<const char*>(data), size));
    // Written anew, only the older files' range and name texts and a password that is not recorded are left out.
    StoredSettings expected = read;
    expected.folder = read.folder.value_or("");
    expected.lowerFrom.reset();
    expected.lowerTo.reset();
    expected.saveName.reset();
    if (!expected.detail.RecordPassword)
        expected.detail.AuthPassword.clear();
    const std::string written = FormatSettings(read);
    Require(ParseSettings(written) == expected, "what was read reads back unchanged");

    const std::vector<std::string> defaults = Values(StoredSettings{});
    const std::vector<std::string> full = Values(expected);
    size_t before = 0;
    for (size_t n = 0; n < written.size(); ++n) {
        const std::vector<std::string> cut = Values(ParseSettings(std::string_view(written).substr(0, n)));
        size_t same = 0;
        for (size_t i = 0; i < cut.size(); ++i) {
            Require(cut[i] == full[i] || cut[i] == defaults[i],
                    "a cut file gives a value of the whole file or its default");
            same += cut[i] == full[i];
        }
        Require(same >= before, "a longer cut never loses a value");
        before = same;
    }
    return 0;
}

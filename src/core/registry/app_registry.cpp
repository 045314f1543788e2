// The program's registry keys and values.
#include "core/registry/app_registry.h"

#include <cctype>
#include <climits>

#include "core/registry/credential_values.h"

namespace pelldra {

int ParseLinkScoutVersion(const std::string& text)
{
    std::string s = text;
    if (const size_t dot = s.find('.'); dot != std::string::npos)
        s.erase(dot, 1);
    size_t i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    long long value = 0;
    for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i) {
        value = value * 10 + (s[i] - '0');
        if (value > INT_MAX) {
            value = INT_MAX;
            break;
        }
    }
    return static_cast<int>(negative ? -value : value);
}

AppRegistry::AppRegistry(const CTavinRegKey::ErrorReporter& report)
    : appKey_(std::make_unique<CTavinRegKey>(kAppKeyPath, false, report)),
      linkScoutKey_(std::make_unique<CTavinRegKey>(kLinkScoutKeyPath, false, report)),
      locationKey_(std::make_unique<CTavinRegKey>(kLocationKeyPath, false, report))
{
}

void AppRegistry::RecordStart(const std::string& position)
{
    appKey_->SetString("Position", position);
    appKey_->SetString("Version", kAppVersion);
}

void AppRegistry::SetAppState(const std::string& state)
{
    appKey_->SetString("State", state);
}

std::string AppRegistry::GetAppState() const
{
    return appKey_->GetString("State");
}

std::string AppRegistry::GetLinkScoutPosition() const
{
    return linkScoutKey_->GetString("Position");
}

std::string AppRegistry::GetLinkScoutState() const
{
    return linkScoutKey_->GetString("State");
}

std::string AppRegistry::GetLinkScoutSaveFolder() const
{
    return linkScoutKey_->GetString("SaveFolder");
}

std::string AppRegistry::GetLinkScoutCommand() const
{
    return linkScoutKey_->GetString("Command");
}

int AppRegistry::GetLinkScoutVersion() const
{
    return ParseLinkScoutVersion(linkScoutKey_->GetString("Version"));
}

bool AppRegistry::HasLoginUser() const
{
    return pelldra::HasLoginUser();
}

} // namespace pelldra

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
    : m_appKey(std::make_unique<CTavinRegKey>(kAppKeyPath, false, report)),
      m_linkScoutKey(std::make_unique<CTavinRegKey>(kLinkScoutKeyPath, false, report)),
      m_locationKey(std::make_unique<CTavinRegKey>(kLocationKeyPath, false, report))
{
}

void AppRegistry::RecordStart(const std::string& position)
{
    m_appKey->SetString("Position", position);
    m_appKey->SetString("Version", kAppVersion);
}

void AppRegistry::SetAppState(const std::string& state)
{
    m_appKey->SetString("State", state);
}

std::string AppRegistry::GetAppState() const
{
    return m_appKey->GetString("State");
}

std::string AppRegistry::GetLinkScoutPosition() const
{
    return m_linkScoutKey->GetString("Position");
}

std::string AppRegistry::GetLinkScoutState() const
{
    return m_linkScoutKey->GetString("State");
}

std::string AppRegistry::GetLinkScoutSaveFolder() const
{
    return m_linkScoutKey->GetString("SaveFolder");
}

std::string AppRegistry::GetLinkScoutCommand() const
{
    return m_linkScoutKey->GetString("Command");
}

int AppRegistry::GetLinkScoutVersion() const
{
    return ParseLinkScoutVersion(m_linkScoutKey->GetString("Version"));
}

bool AppRegistry::HasLoginUser() const
{
    return pelldra::HasLoginUser();
}

} // namespace pelldra

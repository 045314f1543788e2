// The program's registry keys: its own values, and what it reads of LinkScout's key and the login user.
#pragma once

#include <memory>
#include <string>

#include "core/registry/tavin_reg_key.h"

namespace pelldra {

inline constexpr const char* kAppName = "Pelldra";
inline constexpr const char* kAppVersion = PELLDRA_VERSION; // "1.79"

inline constexpr const char* kAppKeyPath = "Software\\Tavin\\Pelldra";
inline constexpr const char* kLinkScoutKeyPath = "Software\\Tavin\\pdrHelper";
inline constexpr const char* kLocationKeyPath = "Software\\Tavin\\Location";
inline constexpr const char* kNinshoCenterKeyPath = "Software\\Tavin\\NinshoCenter";

// LinkScout's version text as a number: the first "." removed, then read as a decimal number as far as it goes
// ("1.54" 154, "2.0" 20, "154" 154, "" or text 0). Values beyond int's range are capped.
int ParseLinkScoutVersion(const std::string& text);

// The three keys the program keeps open for its whole run: its own, LinkScout's and the location key. Each is
// created when missing; one that cannot be made is reported through report and then reads "" and ignores writes.
class AppRegistry
{
public:
    explicit AppRegistry(const CTavinRegKey::ErrorReporter& report = {});
    AppRegistry(const AppRegistry&) = delete;
    AppRegistry& operator=(const AppRegistry&) = delete;

    // "Position" = the executable's folder and "Version" = kAppVersion, at every start.
    void RecordStart(const std::string& position);
    // "State": "opened", "hide" or "closed", for LinkScout.
    void SetAppState(const std::string& state);
    std::string GetAppState() const;

    std::string GetLinkScoutPosition() const;
    std::string GetLinkScoutState() const;
    std::string GetLinkScoutSaveFolder() const;
    std::string GetLinkScoutCommand() const;
    // 0 when LinkScout has recorded no version.
    int GetLinkScoutVersion() const;
    // The credentials manager has a login user ("UserID" under the NinshoCenter key is not empty).
    bool HasLoginUser() const;

    CTavinRegKey& LinkScoutKey() { return *linkScoutKey_; }
    CTavinRegKey& LocationKey() { return *locationKey_; }

private:
    std::unique_ptr<CTavinRegKey> appKey_;
    std::unique_ptr<CTavinRegKey> linkScoutKey_;
    std::unique_ptr<CTavinRegKey> locationKey_;
};

} // namespace pelldra

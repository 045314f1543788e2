// The NinshoCenter key's values: "Location", "UserID" and "Password".
#include "core/registry/credential_values.h"

#include "core/credentials/scramble.h"
#include "core/platform/folders.h"
#include "core/registry/app_registry.h"
#include "core/registry/tavin_reg_key.h"

namespace pelldra {

namespace {

constexpr const char* kUserIdValue = "UserID";
constexpr const char* kPasswordValue = "Password";
constexpr const char* kLocationValue = "Location";

} // namespace

LoginValues ReadLoginValues(const CTavinRegKey& key)
{
    return {key.GetString(kUserIdValue), UnscramblePassword(key.GetString(kPasswordValue))};
}

void RecordLogin(CTavinRegKey& key, const LoginValues& stored, const LoginValues& accepted)
{
    if (accepted.userId != stored.userId)
        key.SetString(kUserIdValue, accepted.userId);
    if (accepted.password != stored.password)
        key.SetString(kPasswordValue, ScramblePassword(accepted.password));
}

bool HasLoginUser()
{
    const CTavinRegKey key(kNinshoCenterKeyPath, true);
    return !key.GetString(kUserIdValue).empty();
}

CNinshoCenter::Setup RegisteredStoreSetup(std::unique_ptr<CTavinRegKey> key)
{
    // Shared with the store's recorder, which may outlive this call by the store's whole life.
    std::shared_ptr<CTavinRegKey> shared = key ? std::move(key) : std::make_shared<CTavinRegKey>(kNinshoCenterKeyPath);
    CNinshoCenter::Setup setup;
    setup.location = shared->GetString(kLocationValue);
    // A relative place (one set by hand) is in the data folder: taken as it stands it would follow the folder each
    // program was started in, with a store of passwords written into whichever that was.
    if (!setup.location.empty() && setup.location.front() != '/')
        setup.location = GetProgramFolder() + "/" + setup.location;
    // A key that did not open refuses the write; the store writes its file still.
    setup.recordLocation = [shared](const std::string& location) { shared->SetString(kLocationValue, location); };
    return setup;
}

std::shared_ptr<CNinshoCenter> OpenRegisteredStore()
{
    return std::make_shared<CNinshoCenter>(RegisteredStoreSetup());
}

} // namespace pelldra

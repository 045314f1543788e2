// The credential store's registry values: where its data file lies, and the login that guards the manager.
#pragma once

#include <memory>

#include "core/credentials/login.h"
#include "core/credentials/ninsho_center.h"

namespace pelldra {

class CTavinRegKey;

// The login as the NinshoCenter key holds it: "UserID" in clear, "Password" scrambled (here unscrambled).
LoginValues ReadLoginValues(const CTavinRegKey& key);
// After an accepted login: writes "UserID" when it changed and "Password", scrambled, when it changed.
void RecordLogin(CTavinRegKey& key, const LoginValues& stored, const LoginValues& accepted);
// A login user has been defined. Only looks: the key is not created.
bool HasLoginUser();

// A store whose data file is the one the key's "Location" names; a store without one records there the place it
// chooses at its first save. key: null opens the NinshoCenter key, creating it when missing.
CNinshoCenter::Setup RegisteredStoreSetup(std::unique_ptr<CTavinRegKey> key = nullptr);
// The user's credential store, set up so.
std::shared_ptr<CNinshoCenter> OpenRegisteredStore();

} // namespace pelldra

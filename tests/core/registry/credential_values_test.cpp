// Tests of the NinshoCenter key's login values.
#include "core/registry/credential_values.h"

#include <gtest/gtest.h>

#include "core/credentials/scramble.h"
#include "core/registry/app_registry.h"
#include "core/registry/tavin_reg_key.h"
#include "support/temp_env.h"

namespace pelldra {
namespace {

TEST(LoginValues, RecordsOnlyWhatChangedWithThePasswordScrambled)
{
    test::TempEnv env;
    EXPECT_FALSE(HasLoginUser());
    EXPECT_FALSE(CTavinRegKey(kNinshoCenterKeyPath, true).IsOpen()) << "asking must not create the key";
    CTavinRegKey key(kNinshoCenterKeyPath);
    EXPECT_EQ(ReadLoginValues(key), LoginValues{});
    key.SetString("UserID", "");
    EXPECT_FALSE(HasLoginUser());

    RecordLogin(key, {}, {"taro", " p w"});
    EXPECT_TRUE(HasLoginUser());
    EXPECT_EQ(key.GetString("UserID"), "taro");
    EXPECT_NE(key.GetString("Password").find('%'), std::string::npos); // scrambled, not in clear
    EXPECT_EQ(ReadLoginValues(key), (LoginValues{"taro", " p w"}));

    // Values that did not change are not written: texts stored meanwhile stay.
    key.SetString("UserID", "someone");
    key.SetString("Password", "x");
    RecordLogin(key, {"taro", "new"}, {"taro", "new"});
    EXPECT_EQ(key.GetString("UserID"), "someone");
    EXPECT_EQ(key.GetString("Password"), "x");
    RecordLogin(key, {"taro", "old"}, {"taro", "new"});
    EXPECT_EQ(key.GetString("UserID"), "someone");
    EXPECT_EQ(UnscramblePassword(key.GetString("Password")), "new");
}

} // namespace
} // namespace pelldra

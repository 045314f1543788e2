// Tests of the credentials manager's login: its dialogs' rules, its registry values, the decision at start.
#include "core/credentials/login.h"
#include "core/credentials/ninsho_center.h"
#include "core/credentials/scramble.h"
#include "core/registry/tavin_reg_key.h"

#include <gtest/gtest.h>

#include "support/temp_env.h"

namespace pelldra {
namespace {

TEST(Login, AnswersOfTheLoginAndThePasswordChange)
{
    const LoginValues setup{"", "old"};
    const LoginValues taro{"taro", "pw"};
    const std::string wrongTaro = "ユーザー[taro]のパスワードが正しくありません";
    const struct
    {
        const LoginValues& stored;
        const char* user;
        const char* password;
        const char* confirmation;
        bool accepted;
        std::string message;
    } logins[] = {
        {setup, "", "a", "a", false, ""},
        {setup, "hana", "a", "b", false, kLoginConfirmationDiffers},
        {setup, "hana", "a", "a", true, ""},
        {setup, "hana", "", "", true, ""},
        {taro, "", "pw", "", false, ""},
        {taro, "Taro", "pw", "", false, ""}, // another user: not a word
        {taro, "taro", "PW", "", false, wrongTaro},
        {taro, "taro", "pw", "other", true, ""}, // the confirmation counts in setup mode only
    };
    for (const auto& c : logins) {
        const DialogCheck check = CheckLogin(c.stored, c.user, c.password, c.confirmation);
        EXPECT_EQ(check.accepted, c.accepted) << c.user << " " << c.password;
        EXPECT_EQ(check.message, c.message) << c.user << " " << c.password;
    }

    const struct
    {
        const char* current;
        const char* next;
        const char* confirmation;
        std::string message;
    } changes[] = {
        {"pw ", "new", "new", kCurrentPasswordWrong},
        {"pw", "new", "New", kNewPasswordDiffers},
        {"pw", "new", "new", ""},
        {"pw", "", "", ""},
    };
    for (const auto& c : changes) {
        const DialogCheck check = CheckPasswordChange("pw", c.current, c.next, c.confirmation);
        EXPECT_EQ(check.accepted, c.message.empty()) << c.current << " " << c.next;
        EXPECT_EQ(check.message, c.message) << c.current << " " << c.next;
    }
}

TEST(Login, RecordsOnlyWhatChangedWithThePasswordScrambled)
{
    test::TempEnv env;
    EXPECT_FALSE(HasLoginUser());
    CTavinRegKey key(CNinshoCenter::kRegistryKey);
    EXPECT_EQ(ReadLoginValues(key), LoginValues{});

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

TEST(Login, WhatTheWindowDoesAtStart)
{
    using S = StartCredentials;
    const struct
    {
        bool use, confirm, hasUser;
        S step;
    } cases[] = {
        {false, true, true, S::Leave},     {true, false, true, S::Open},       {true, true, true, S::OpenAfterLogin},
        {true, true, false, S::SwitchOff}, {true, false, false, S::SwitchOff},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CredentialsAtStart(c.use, c.confirm, c.hasUser), c.step) << c.use << c.confirm << c.hasUser;
}

} // namespace
} // namespace pelldra

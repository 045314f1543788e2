// Tests of the credentials manager's login: its dialogs' rules and the decision at start.
#include "core/credentials/login.h"

#include <string>
#include <tuple>

#include <gtest/gtest.h>

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

    // Current, new and confirmed password as typed, the message ("" accepts).
    const std::tuple<const char*, const char*, const char*, std::string> changes[] = {
        {"pw ", "new", "new", kCurrentPasswordWrong},
        {"pw", "new", "New", kNewPasswordDiffers},
        {"pw", "new", "new", ""},
        {"pw", "", "", ""}};
    for (const auto& [current, next, confirmation, message] : changes) {
        const DialogCheck check = CheckPasswordChange("pw", current, next, confirmation);
        EXPECT_EQ(check.accepted, message.empty()) << current << " " << next;
        EXPECT_EQ(check.message, message) << current << " " << next;
    }
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

// The login that guards the credentials manager: the rules of the login and password dialogs.
#pragma once

#include <string>

namespace pelldra {

// The login's user ID and password, in clear.
struct LoginValues
{
    std::string userId;
    std::string password;

    bool operator==(const LoginValues&) const = default;
};

// No user ID stored yet: the login defines one, with the password typed twice.
inline bool IsLoginSetup(const LoginValues& stored)
{
    return stored.userId.empty();
}

// What an OK of a dialog comes to: accepted, or kept open with the message to show ("" shows nothing).
struct DialogCheck
{
    bool accepted = false;
    std::string message;
};

inline constexpr const char* kLoginConfirmationDiffers = "パスワードが確認のために入力したものと異なります";
inline constexpr const char* kLoginWrongPassword = "ユーザー[%s]のパスワードが正しくありません";
inline constexpr const char* kCurrentPasswordWrong = "現在のパスワードが正しくありません";
inline constexpr const char* kNewPasswordDiffers = "新しいパスワードが確認のために入力したものと異なります";

// The login's OK. An empty user ID, or another user than the stored one, is answered with nothing at all: the
// dialog gives no hint which user IDs exist. The confirmation counts in setup mode only. Comparisons are exact.
DialogCheck CheckLogin(const LoginValues& stored, const std::string& userId, const std::string& password,
                       const std::string& confirmation);

// The password change's OK: the current password must be the stored one, the new one (may be empty) its confirmation.
DialogCheck CheckPasswordChange(const std::string& stored, const std::string& current, const std::string& newPassword,
                                const std::string& confirmation);

// What the window does with the credentials manager when it starts.
enum class StartCredentials {
    Leave,          // not in use
    Open,           // open the store without asking
    OpenAfterLogin, // ask the login first; a refusal switches the use off
    SwitchOff,      // in use, but no login user exists: switch the use off
};
StartCredentials CredentialsAtStart(bool useManager, bool confirmUserAtStart, bool hasLoginUser);

} // namespace pelldra

// The credentials manager's login: the rules of its dialogs.
#include "core/credentials/login.h"

namespace pelldra {

namespace {

DialogCheck Accepted()
{
    return {true, {}};
}

DialogCheck Refused(std::string message)
{
    return {false, std::move(message)};
}

} // namespace

DialogCheck CheckLogin(const LoginValues& stored, const std::string& userId, const std::string& password,
                       const std::string& confirmation)
{
    if (userId.empty())
        return Refused({});
    if (IsLoginSetup(stored))
        return password == confirmation ? Accepted() : Refused(kLoginConfirmationDiffers);
    if (userId != stored.userId)
        return Refused({});
    if (password != stored.password) {
        std::string message = kLoginWrongPassword;
        message.replace(message.find("%s"), 2, userId);
        return Refused(std::move(message));
    }
    return Accepted();
}

DialogCheck CheckPasswordChange(const std::string& stored, const std::string& current, const std::string& newPassword,
                                const std::string& confirmation)
{
    if (current != stored)
        return Refused(kCurrentPasswordWrong);
    if (newPassword != confirmation)
        return Refused(kNewPasswordDiffers);
    return Accepted();
}

StartCredentials CredentialsAtStart(bool useManager, bool confirmUserAtStart, bool hasLoginUser)
{
    if (!useManager)
        return StartCredentials::Leave;
    if (!hasLoginUser)
        return StartCredentials::SwitchOff;
    return confirmUserAtStart ? StartCredentials::OpenAfterLogin : StartCredentials::Open;
}

} // namespace pelldra

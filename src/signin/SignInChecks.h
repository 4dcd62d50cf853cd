#pragma once

// The checks the sign-in windows make before anything is sent: the zorvic
// number of the network selection window, the login fields and the account
// creation form. Pure functions of the typed texts.

#include <QString>
#include <string>

#include "ui/Dialogs.h"

namespace signin {

// --- Zorvic number ---

// The number field takes at most this many characters.
inline constexpr int kNumberFieldLimit = 8;
inline constexpr int kNumberDigits = 7;
inline constexpr char kNumberTooLongFormat[] = "Please enter no more than %1 characters.";
inline constexpr char kInvalidNumberText[] = "That is not a valid zorvic number";

enum class NumberCheck { Ok, TooLong, Invalid };

struct NumberCheckResult {
    NumberCheck outcome = NumberCheck::Invalid;
    std::string digits;  // the 7 digits when Ok
};

// Takes the digits '0'..'9' of the text in their order, dropping everything
// else; valid when exactly 7 remain. A text over kNumberFieldLimit characters
// is refused before any digit is taken.
NumberCheckResult CheckNumberText(const QString& text);
// "Please enter no more than 8 characters."
QString NumberTooLongText();
// 1234567 -> 123.4567 (a '.' after the third character).
QString DottedNumber(const std::string& number);

// --- Login window ---

inline constexpr int kUsernameLimit = 11;
inline constexpr int kPasswordLimit = 15;
inline constexpr char kEnterUsernameText[] = "Please enter a username";
inline constexpr char kEnterPasswordText[] = "Please enter a password";

// The message of the first failing login field; empty when both are fine.
QString CheckLoginFields(const QString& username, const QString& password);

// --- Account creation form ---

inline constexpr int kFullNameLimit = 20;
inline constexpr int kCreationCodeLimit = 20;

struct CreationForm {
    QString fullName;
    QString username;
    QString password;
    QString passwordAgain;
    QString code;
};

struct CreationCheckResult {
    int row = 0;  // 1..11: the failing check, in order; 0 when all pass
    QString message;
    ui::MsgIcon icon = ui::MsgIcon::None;
    bool Passed() const { return row == 0; }
};

// The form's checks in their order; the first failure is returned.
CreationCheckResult CheckCreationForm(const CreationForm& form, bool codeRequired);

}  // namespace signin

#include "signin/SignInChecks.h"

#include "ui/TextConvert.h"

namespace signin {
namespace {

// Letters A-Z and a-z, digits, '-' and '_', judged byte by byte in UTF-8 so
// that any non-ASCII character fails.
bool OnlyNameBytes(const QString& text) {
    for (unsigned char c : ui::TextToUtf8(text)) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                        (c >= '0' && c <= '9') || c == '-' || c == '_';
        if (!ok) return false;
    }
    return true;
}

}  // namespace

NumberCheckResult CheckNumberText(const QString& text) {
    NumberCheckResult result;
    if (text.size() > kNumberFieldLimit) {
        result.outcome = NumberCheck::TooLong;
        return result;
    }
    for (char c : ui::TextToUtf8(text)) {
        if (c >= '0' && c <= '9') result.digits.push_back(c);
    }
    if (result.digits.size() == size_t(kNumberDigits)) {
        result.outcome = NumberCheck::Ok;
    } else {
        result.outcome = NumberCheck::Invalid;
        result.digits.clear();
    }
    return result;
}

QString NumberTooLongText() {
    return QString::fromLatin1(kNumberTooLongFormat).arg(kNumberFieldLimit);
}

QString DottedNumber(const std::string& number) {
    QString text = QString::fromUtf8(number.data(), qsizetype(number.size()));
    if (text.size() > 3) text.insert(3, QLatin1Char('.'));
    return text;
}

QString CheckLoginFields(const QString& username, const QString& password) {
    if (username.isEmpty() || username.size() > kUsernameLimit) {
        return QString::fromLatin1(kEnterUsernameText);
    }
    if (password.isEmpty() || password.size() > kPasswordLimit) {
        return QString::fromLatin1(kEnterPasswordText);
    }
    return {};
}

CreationCheckResult CheckCreationForm(const CreationForm& form, bool codeRequired) {
    using ui::MsgIcon;
    struct Row {
        bool failed;
        const char* message;
        MsgIcon icon;
    };
    // Every condition is cheap; the first failure, in table order, is reported.
    const auto rows = {
        Row{form.fullName.isEmpty(), "Please type your name", MsgIcon::Warning},
        Row{form.fullName.size() > kFullNameLimit, "Names must be between 1 and 20 characters",
            MsgIcon::Warning},
        Row{form.username.isEmpty(), "Please type a username", MsgIcon::Warning},
        Row{form.username.size() > kUsernameLimit,
            "Usernames must be between 1 and 11 characters in length", MsgIcon::Warning},
        Row{form.password.isEmpty(), "Please type a password", MsgIcon::Warning},
        Row{form.password.size() > kPasswordLimit, "Passwords must be between 1 and 15 characters",
            MsgIcon::Warning},
        Row{form.password != form.passwordAgain, "Passwords do not match; try again",
            MsgIcon::Warning},
        Row{!OnlyNameBytes(form.username),
            "Usernames may contain only letters, numbers, dashes '-', and underscores '_'",
            MsgIcon::Error},
        Row{!OnlyNameBytes(form.password),
            "Passwords may contain only letters, numbers, dashes '-', and underscores '_'",
            MsgIcon::Error},
        Row{codeRequired && form.code.isEmpty(),
            "This network requires that you type its account creation code", MsgIcon::Warning},
        Row{form.code.size() > kCreationCodeLimit,
            "Account creation codes must be between 1 and 20 characters", MsgIcon::Warning},
    };
    int number = 0;
    for (const Row& row : rows) {
        ++number;
        if (row.failed) return {number, QString::fromLatin1(row.message), row.icon};
    }
    return {};
}

}  // namespace signin

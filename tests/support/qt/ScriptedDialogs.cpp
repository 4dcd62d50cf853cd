#include "support/qt/ScriptedDialogs.h"

namespace testsupport {

ui::MsgAnswer ScriptedDialogs::Message(QWidget* parent, const QString& title, const QString& text,
                                       ui::MsgIcon icon, ui::MsgButtons buttons) {
    messages.push_back({title, text, icon, buttons, parent});
    if (!answers.empty()) {
        const ui::MsgAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    switch (buttons) {
        case ui::MsgButtons::Ok:
            return ui::MsgAnswer::Ok;
        case ui::MsgButtons::OkCancel:
            return defaultOkCancel;
        case ui::MsgButtons::YesNo:
            return defaultYesNo;
    }
    return ui::MsgAnswer::Ok;
}

QString ScriptedDialogs::OpenFileName(QWidget*, const QString& caption, const QString& dir,
                                      const QString& filter) {
    files.push_back({false, caption, dir, filter});
    if (fileNames.empty()) return QString();
    QString name = fileNames.front();
    fileNames.pop_front();
    return name;
}

QString ScriptedDialogs::SaveFileName(QWidget*, const QString& caption,
                                      const QString& suggestedPath, const QString& filter) {
    files.push_back({true, caption, suggestedPath, filter});
    if (fileNames.empty()) return QString();
    QString name = fileNames.front();
    fileNames.pop_front();
    return name;
}

std::optional<QColor> ScriptedDialogs::PickColor(QWidget*, const QColor& initial, const QString&) {
    colourRequests.push_back(initial);
    if (colours.empty()) return std::nullopt;
    std::optional<QColor> colour = colours.front();
    colours.pop_front();
    return colour;
}

bool ScriptedDialogs::OpenUrl(const QUrl& url) {
    urls.push_back(url);
    return openUrlResult;
}

QStringList ScriptedDialogs::Texts() const {
    QStringList texts;
    for (const MessageCall& call : messages) texts << call.text;
    return texts;
}

void ScriptedDialogs::Clear() {
    messages.clear();
    files.clear();
    colourRequests.clear();
    urls.clear();
}

}  // namespace testsupport

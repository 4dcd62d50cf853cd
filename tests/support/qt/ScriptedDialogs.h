#pragma once

// A Dialogs service for tests: records every call and answers from a script
// instead of opening anything.

#include <QColor>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVector>
#include <deque>
#include <optional>

#include "ui/Dialogs.h"

namespace testsupport {

class ScriptedDialogs final : public ui::Dialogs {
  public:
    struct MessageCall {
        QString title;
        QString text;
        ui::MsgIcon icon = ui::MsgIcon::None;
        ui::MsgButtons buttons = ui::MsgButtons::Ok;
        QWidget* parent = nullptr;
    };
    struct FileCall {
        bool save = false;
        QString caption;
        QString path;
        QString filter;
    };

    ui::MsgAnswer Message(QWidget* parent, const QString& title, const QString& text,
                          ui::MsgIcon icon, ui::MsgButtons buttons) override;
    QString OpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                         const QString& filter) override;
    QString SaveFileName(QWidget* parent, const QString& caption, const QString& suggestedPath,
                         const QString& filter) override;
    std::optional<QColor> PickColor(QWidget* parent, const QColor& initial,
                                    const QString& title) override;
    bool OpenUrl(const QUrl& url) override;

    // Scripted answers, used in order; when a queue is empty the defaults
    // answer: OK/Cancel boxes answer defaultOkCancel, Yes/No boxes
    // defaultYesNo, choosers answer "cancelled", OpenUrl answers openUrlResult.
    std::deque<ui::MsgAnswer> answers;
    std::deque<QString> fileNames;
    std::deque<std::optional<QColor>> colours;
    ui::MsgAnswer defaultOkCancel = ui::MsgAnswer::Ok;
    ui::MsgAnswer defaultYesNo = ui::MsgAnswer::Yes;
    bool openUrlResult = true;

    // What was asked, in order.
    QVector<MessageCall> messages;
    QVector<FileCall> files;
    QVector<QColor> colourRequests;
    QVector<QUrl> urls;

    // The texts of every message box so far.
    QStringList Texts() const;
    // The last message box; an empty call when there was none.
    MessageCall Last() const { return messages.isEmpty() ? MessageCall{} : messages.back(); }
    void Clear();
};

}  // namespace testsupport

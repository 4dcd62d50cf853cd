#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QMenu>
#include <memory>

#include "support/TempDir.h"
#include "support/qt/ScriptedDialogs.h"
#include "ui/ExportText.h"
#include "ui/Skin.h"
#include "ui/TextViewerDlg.h"

namespace {

using testsupport::ScriptedDialogs;
using testsupport::TempDir;

QAction* ActionNamed(QMenu& menu, const QString& text) {
    for (QAction* a : menu.actions()) {
        if (a->text() == text) return a;
    }
    return nullptr;
}

TEST(ExportText, WritesTheBytesOrSaysWhyNot) {
    TempDir dir;
    ScriptedDialogs dialogs;
    const QByteArray bytes("caf\xC3\xA9\n\0tail\n", 12);
    // Cancelled: nothing written, nothing said.
    EXPECT_FALSE(ui::ExportText(dialogs, nullptr, "Save", "a.txt", bytes));
    ASSERT_EQ(dialogs.files.size(), 1);
    EXPECT_TRUE(dialogs.files[0].save);
    EXPECT_EQ(dialogs.files[0].path, "a.txt");
    EXPECT_EQ(dialogs.files[0].filter, "Text files (*.txt);;All files (*)");

    // An existing file is replaced whole.
    const std::string target = dir.file("out.txt");
    ASSERT_TRUE(testsupport::WriteFile(target, "an older and much longer content\n"));
    dialogs.fileNames.push_back(QString::fromStdString(target));
    EXPECT_TRUE(ui::ExportText(dialogs, nullptr, "Save", "a.txt", bytes));
    EXPECT_EQ(testsupport::ReadFile(target), bytes.toStdString());
    EXPECT_TRUE(dialogs.messages.isEmpty());

    // A folder that does not exist: told, never a silent failure.
    const QString bad = QString::fromStdString(dir.file("missing/out.txt"));
    dialogs.fileNames.push_back(bad);
    EXPECT_FALSE(ui::ExportText(dialogs, nullptr, "Save", "a.txt", bytes));
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.Last().title, "Export");
    EXPECT_TRUE(dialogs.Last().text.startsWith(QStringLiteral("Could not write \"out.txt\": ")));
    EXPECT_GT(dialogs.Last().text.size(), QStringLiteral("Could not write \"out.txt\": ").size());
    EXPECT_FALSE(testsupport::FileExists(dir.file("missing")));
}

TEST(ExportText, SafeFileStemKeepsNamesInsideTheChosenFolder) {
    EXPECT_EQ(ui::SafeFileStem("2026-12-09.txt"), "2026-12-09.txt");
    EXPECT_EQ(ui::SafeFileStem("../../etc/passwd"), ".._.._etc_passwd");
    EXPECT_EQ(ui::SafeFileStem("a\\b\nc"), "a_b_c");
    EXPECT_EQ(ui::SafeFileStem(".."), "export");
    EXPECT_EQ(ui::SafeFileStem("  "), "export");
}

TEST(ExportText, TextViewerSavesTheFileAsItWasRead) {
    TempDir dir;
    ScriptedDialogs dialogs;
    ui::Skin skin{1.0};
    const net::Timings timings = net::Timings::Fast();
    // CRLF ends, a byte that is no UTF-8, a line longer than one piece and
    // no final line end: the box shows these differently, the file keeps them.
    std::string bytes = "[10:05 am] bob: caf\xC3\xA9\r\nbad \xFF byte\r\n";
    bytes += std::string(5000, 'x');
    bytes += "\nlast";
    const std::string source = dir.file("history");
    ASSERT_TRUE(testsupport::WriteFile(source, bytes));
    std::unique_ptr<ui::CTextViewerDlg> viewer(ui::CTextViewerDlg::Open(
        skin, dialogs, timings, nullptr, QString::fromStdString(source)));
    ASSERT_NE(viewer->Text().toUtf8().toStdString(), bytes);

    // Without a name to offer, the viewer's menu has no save item.
    {
        std::unique_ptr<QMenu> menu(viewer->ContextMenu({}));
        EXPECT_EQ(ActionNamed(*menu, "Save as Text..."), nullptr);
    }
    viewer->EnableSaveAs("2026-12-09.txt");
    // The downloaded file is replaced by the next download: the viewer saves
    // what it showed.
    ASSERT_TRUE(testsupport::WriteFile(source, "another log\n"));
    const std::string target = dir.file("saved.txt");
    dialogs.fileNames.push_back(QString::fromStdString(target));
    std::unique_ptr<QMenu> menu(viewer->ContextMenu({}));
    QAction* save = ActionNamed(*menu, "Save as Text...");
    ASSERT_NE(save, nullptr);
    save->trigger();
    ASSERT_EQ(dialogs.files.size(), 1);
    EXPECT_EQ(dialogs.files[0].caption, "Save as Text");
    EXPECT_EQ(dialogs.files[0].path, "2026-12-09.txt");
    EXPECT_EQ(testsupport::ReadFile(target), bytes);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

}  // namespace

#pragma once

// What the Share Documents and Retrieve Documents windows have in common:
// the directory view they show, the list with its path label and summary
// line, BACK, the transfer button with its progress bar and percentage, and
// the rule that brings the window up (centred the first time).

#include <QPointer>
#include <QString>
#include <QTreeView>

#include "documents/MsgDocumentStore.h"
#include "documents/api/ListDocumentsModel.h"
#include "ui/SkinnedDlg.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace net {
class Client;
}
namespace ui {
class CFilterEdit;
class CFixedButton;
}

namespace documents {

// The list of a browser: a plain list view that reports the Delete key and
// every action of the user in it.
class CListDocuments : public QTreeView {
    Q_OBJECT

  public:
    explicit CListDocuments(QWidget* parent = nullptr);
    CListDocumentsModel& Model() { return model_; }
    // The selected row, or -1.
    int SelectedRow() const;
    void SelectRow(int row);

  signals:
    void deletePressed(int row);
    void touched();
    void menuRequested(int row, const QPoint& globalPos);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    CListDocumentsModel model_;
};

class CDocumentsBrowserDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    static constexpr QSize kClientSize{440, 440};

    CDocumentsBrowserDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                         net::Client& client, const QString& title, const QString& background,
                         QWidget* parent);

    const CDirectoryView& View() const { return view_; }
    CListDocuments* List() const { return list_; }
    CListDocumentsModel& Model() const { return list_->Model(); }
    QLabel* PathText() const { return path_; }
    QLabel* Summary() const { return summary_; }
    ui::CFilterEdit* Filter() const { return filter_; }
    ui::CFixedButton* BackButton() const { return back_; }
    QProgressBar* Progress() const { return progress_; }
    QLabel* Percent() const { return percent_; }
    // The row's entry, or null.
    const CDocumentEntry* EntryAt(int row) const { return Model().EntryAt(row); }

    // A dropped connection: back to the state before the first listing.
    virtual void Reset();

  protected:
    // Takes the listing: entries, sizes, summary, path label, red rows.
    void Fill(const CDirectoryView& view);
    // Centred the first time, where it was afterwards; in front either way.
    void BringUp();
    void ShowTransferStarted();
    void ShowTransferProgress(int percent);
    void ShowTransferIdle();
    // The next row for a button that sits in the bottom band.
    QRect BottomButton(int index, int width) const;

    virtual void RowActivated(int row) = 0;
    virtual void BackClicked() = 0;

    net::Client& client_;
    CDirectoryView view_;
    CListDocuments* list_ = nullptr;
    QLabel* path_ = nullptr;
    QLabel* summary_ = nullptr;
    ui::CFilterEdit* filter_ = nullptr;
    ui::CFixedButton* back_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* percent_ = nullptr;
    bool placed_ = false;
};

}  // namespace documents

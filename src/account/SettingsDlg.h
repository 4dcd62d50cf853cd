#pragma once

// The settings window: the font, size, colour and style of the user's own
// messages, and the four options. It reads settings.dat each time it opens;
// closing it (close box or Escape) checks the size, writes the file and
// hides, and the values take effect then. There is no OK button.

#include <QColor>
#include <QComboBox>
#include <QLineEdit>

#include "shell/Settings.h"
#include "ui/SkinnedDlg.h"

namespace ui {
class CImageToggle;
}

namespace account {

// The size field's text as a size; false unless it is an integer from 1 to 144.
bool ParseTextSize(const QString& text, int32_t& size);
// The standard message for a size that is refused.
QString TextSizeMessage();

class CSettingsDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    static constexpr QSize kClientSize{479, 181};
    // The colour swatch, (65, 69)-(207, 86).
    static constexpr QRect kSwatch{QPoint(65, 69), QPoint(206, 85)};
    static const char* const kFontNames[shell::kFontCount];
    static const char* const kOptionNames[4];

    // Reads settings.dat into `settings` at once.
    CSettingsDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                 shell::Settings& settings, QWidget* parent = nullptr);

    // Reads the file again, fills the controls and shows the window.
    void Open();
    // Checks the size; when it passes, takes the controls' values, writes
    // the file and hides. False (window kept) when the size is refused.
    bool CloseAndSave();
    // A drop: saved as on closing when the size passes, hidden either way.
    void HideForDrop();

    // The values the controls hold now (the size as last accepted).
    shell::SettingsValues ShownValues() const;
    QColor Colour() const { return colour_; }

    QComboBox* FontList() const { return fonts_; }
    QLineEdit* SizeField() const { return size_; }
    ui::CImageToggle* StyleToggle(int i) const { return styles_[i]; }  // bold, italic, underline
    ui::CImageToggle* OptionBox(int i) const { return options_[i]; }

  public slots:
    // Escape: closing as by the close box.
    void reject() override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    void Fill(const shell::SettingsValues& values);

    shell::Settings& settings_;
    int32_t shownFont_ = 0;  // an index the list has no entry for is kept
    QColor colour_;
    QComboBox* fonts_ = nullptr;
    QLineEdit* size_ = nullptr;
    ui::CImageToggle* styles_[3] = {};
    ui::CImageToggle* options_[4] = {};
};

}  // namespace account

#include "account/SettingsDlg.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include "ui/Dialogs.h"
#include "ui/ImageToggle.h"

namespace account {

namespace {

constexpr int kStyleX[3] = {65, 87, 109};
constexpr int kStyleY = 94;
constexpr int kOptionX = 259;
constexpr int kOptionFirstY = 50;
constexpr int kOptionStep = 26;

}  // namespace

const char* const CSettingsDlg::kFontNames[shell::kFontCount] = {
    "Arial", "Comic Sans", "Courier New", "Georgia", "Tahoma", "Times New Roman", "Verdana",
};

const char* const CSettingsDlg::kOptionNames[4] = {
    "Timestamp", "Alert msgs", "Alert status", "Minimize tray",
};

bool ParseTextSize(const QString& text, int32_t& size) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok || value < shell::kMinTextSize || value > shell::kMaxTextSize) return false;
    size = value;
    return true;
}

QString TextSizeMessage() {
    return QStringLiteral("Please enter an integer between %1 and %2.")
        .arg(shell::kMinTextSize)
        .arg(shell::kMaxTextSize);
}

CSettingsDlg::CSettingsDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                           const net::Timings& timings, shell::Settings& settings,
                           QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent), settings_(settings) {
    SetClientSize(kClientSize);
    SetBackground(QStringLiteral("IDB_BKGNDSETTINGS"));
    setWindowTitle(QStringLiteral("Settings"));

    auto label = [this](const char* text, int x, int y, int w) {
        auto* l = new QLabel(QString::fromLatin1(text), this);
        l->setGeometry(x, y, w, 20);
        return l;
    };
    QLabel* fontLabel = label("&Font", 18, 43, 44);
    fonts_ = new QComboBox(this);
    for (const char* name : kFontNames) fonts_->addItem(QString::fromLatin1(name));
    fonts_->setGeometry(65, 42, 142, 22);
    fontLabel->setBuddy(fonts_);
    label("Colour", 18, 67, 44);
    label("Style", 18, 94, 44);
    QLabel* sizeLabel = label("Si&ze", 18, 123, 44);
    size_ = new QLineEdit(this);
    size_->setGeometry(65, 122, 50, 22);
    size_->setAccessibleName(QStringLiteral("Size"));
    sizeLabel->setBuddy(size_);

    const char* offNames[3] = {"IDB_BOLDOFF", "IDB_ITALICOFF", "IDB_UNDERLINEOFF"};
    const char* onNames[3] = {"IDB_BOLDON", "IDB_ITALICON", "IDB_UNDERLINEON"};
    const char* styleWords[3] = {"Bold", "Italic", "Underline"};
    QWidget* styleProxies[3] = {};
    for (int i = 0; i < 3; ++i) {
        styles_[i] = ui::CImageToggle::TwoImage(skin, this, QString::fromLatin1(offNames[i]),
                                                QString::fromLatin1(onNames[i]),
                                                QPoint(kStyleX[i], kStyleY));
        styles_[i]->setToolTip(QString::fromLatin1(styleWords[i]));
        styleProxies[i] = styles_[i]->MakeFocusProxy(QString::fromLatin1(styleWords[i]));
    }
    QWidget* optionProxies[4] = {};
    for (int i = 0; i < 4; ++i) {
        const int y = kOptionFirstY + i * kOptionStep;
        options_[i] = ui::CImageToggle::CheckBox(skin, this, QPoint(kOptionX, y), QSize(120, 13));
        QLabel* words = label(kOptionNames[i], kOptionX + 19, y - 3, 100);
        words->setAttribute(Qt::WA_TransparentForMouseEvents);
        optionProxies[i] = options_[i]->MakeFocusProxy(QString::fromLatin1(kOptionNames[i]));
        words->setBuddy(optionProxies[i]);
    }
    // Tab: the font list, the three styles, the size, the four options.
    QWidget* chain[] = {fonts_,           styleProxies[0],  styleProxies[1],
                        styleProxies[2],  size_,            optionProxies[0],
                        optionProxies[1], optionProxies[2], optionProxies[3]};
    constexpr int kLinks = static_cast<int>(std::size(chain));
    for (int i = 0; i + 1 < kLinks; ++i) setTabOrder(chain[i], chain[i + 1]);
    for (int i = 0; i < 3; ++i) styles_[i]->SetFocusControls(chain[i], chain[i + 1], chain[i + 2]);
    for (int i = 0; i < 4; ++i) {
        options_[i]->SetFocusControls(chain[i + 4], chain[i + 5],
                                      i + 6 < kLinks ? chain[i + 6] : nullptr);
    }

    settings_.Read();
    Fill(settings_.Values());
}

void CSettingsDlg::Fill(const shell::SettingsValues& v) {
    shownFont_ = v.fontIndex;
    fonts_->setCurrentIndex(v.fontIndex >= 0 && v.fontIndex < shell::kFontCount ? v.fontIndex
                                                                                 : -1);
    colour_ = QColor(v.red, v.green, v.blue);
    styles_[0]->SetValue(v.bold);
    styles_[1]->SetValue(v.italic);
    styles_[2]->SetValue(v.underline);
    size_->setText(QString::number(v.size));
    options_[0]->SetValue(v.timestamp);
    options_[1]->SetValue(v.alertMessages);
    options_[2]->SetValue(v.alertStatus);
    options_[3]->SetValue(v.tray);
    update();
}

void CSettingsDlg::Open() {
    settings_.Read();
    Fill(settings_.Values());
    ShowInFront();
}

shell::SettingsValues CSettingsDlg::ShownValues() const {
    shell::SettingsValues v = settings_.Values();
    v.fontIndex = fonts_->currentIndex() >= 0 ? fonts_->currentIndex() : shownFont_;
    v.red = colour_.red();
    v.green = colour_.green();
    v.blue = colour_.blue();
    v.bold = styles_[0]->Value();
    v.italic = styles_[1]->Value();
    v.underline = styles_[2]->Value();
    int32_t size = 0;
    if (ParseTextSize(size_->text(), size)) v.size = size;
    v.timestamp = options_[0]->Value();
    v.alertMessages = options_[1]->Value();
    v.alertStatus = options_[2]->Value();
    v.tray = options_[3]->Value();
    return v;
}

bool CSettingsDlg::CloseAndSave() {
    int32_t size = 0;
    if (!ParseTextSize(size_->text(), size)) {
        dialogs_.Message(this, QStringLiteral("Palindor"), TextSizeMessage(),
                         ui::MsgIcon::Warning);
        size_->selectAll();
        size_->setFocus();
        return false;
    }
    settings_.SetValues(ShownValues());
    // A file that cannot be written changes nothing more: the values hold
    // for this run.
    settings_.Write();
    hide();
    return true;
}

void CSettingsDlg::HideForDrop() {
    int32_t size = 0;
    if (isVisible() && ParseTextSize(size_->text(), size)) {
        settings_.SetValues(ShownValues());
        settings_.Write();
    }
    hide();
}

void CSettingsDlg::reject() {
    CloseAndSave();
}

void CSettingsDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    CloseAndSave();
}

void CSettingsDlg::paintEvent(QPaintEvent* event) {
    CSkinnedDlg::paintEvent(event);
    QPainter p(this);
    p.setPen(QColor(0x97, 0xA3, 0xB6));
    p.setBrush(colour_);
    p.drawRect(kSwatch);
}

void CSettingsDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && kSwatch.contains(event->position().toPoint())) {
        const std::optional<QColor> chosen =
            dialogs_.PickColor(this, colour_, QStringLiteral("Colour"));
        if (chosen && chosen->isValid()) {
            colour_ = QColor(chosen->red(), chosen->green(), chosen->blue());
            update();
        }
        return;
    }
    CSkinnedDlg::mousePressEvent(event);
}

}  // namespace account

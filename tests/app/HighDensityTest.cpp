// The sign-in windows on dense screens, for real: this test binary runs
// itself again with a device scale factor or a font dpi, the child shows
// each sign-in window and prints what it sees, and the parent compares that
// with the same facts at the ordinary density.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProcessEnvironment>
#include <QWindow>
#include <iostream>

#include "app/AppHarness.h"
#include "signin/AuthenticatingDlg.h"
#include "signin/ConnectDlg.h"
#include "signin/CreateAccountDlg.h"
#include "signin/CreatingAccountDlg.h"
#include "signin/LoginDlg.h"

using apptest::AppHarness;

namespace {

// One line per window and per control: logical geometry, whether the control
// lies inside its window, and whether its words fit it.
QStringList GeometryFacts(AppHarness& h, qreal* ratio = nullptr) {
    QStringList facts;
    for (ui::CSkinnedDlg* w : std::initializer_list<ui::CSkinnedDlg*>{
             &h.state->ConnectWindow(), &h.state->LoginWindow(), &h.state->CreateAccountWindow(),
             &h.state->AuthenticatingWindow(), &h.state->CreatingAccountWindow()}) {
        w->ShowInFrontNow();
        if (ratio != nullptr) *ratio = w->windowHandle()->devicePixelRatio();
        facts << QStringLiteral("%1 size %2x%3")
                     .arg(w->windowTitle())
                     .arg(w->width())
                     .arg(w->height());
        int index = 0;
        for (QWidget* c : w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            // The remember box's stand-in paints nothing, so its words need no room.
            if (!c->isVisibleTo(w) || c->objectName() == QStringLiteral("toggleFocusProxy")) continue;
            const QRect g = c->geometry();
            bool fits = true;
            QString text;
            if (auto* label = qobject_cast<QLabel*>(c)) text = label->text();
            if (auto* button = qobject_cast<QAbstractButton*>(c)) text = button->text();
            text.remove(QLatin1Char('&'));
            if (!text.isEmpty() && !text.startsWith(QLatin1Char('<'))) {
                fits = QFontMetrics(c->font()).horizontalAdvance(text) <= g.width();
            }
            facts << QStringLiteral("%1 #%2 %3 %4,%5 %6x%7 inside=%8 fits=%9")
                         .arg(w->windowTitle())
                         .arg(index++)
                         .arg(QString::fromLatin1(c->metaObject()->className()))
                         .arg(g.x())
                         .arg(g.y())
                         .arg(g.width())
                         .arg(g.height())
                         .arg(w->rect().contains(g) ? 1 : 0)
                         .arg(fits ? 1 : 0);
        }
        w->hide();
    }
    return facts;
}

struct ChildRun {
    QStringList facts;
    qreal ratio = 0;
    QString error;
};

// Runs the reporting test below in a child with `variable` set to `value`.
ChildRun RunChild(const QString& variable, const QString& value) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(variable, value);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_also_run_disabled_tests"),
                 QStringLiteral("--gtest_filter=HighDensityChild.DISABLED_Report")});
    ChildRun run;
    if (!child.waitForFinished(120000) || child.exitCode() != 0) {
        run.error = QString::fromUtf8(child.readAllStandardError().right(2000));
        return run;
    }
    for (const QString& line : QString::fromUtf8(child.readAllStandardOutput()).split('\n')) {
        if (line.startsWith(QStringLiteral("FACT "))) run.facts << line.mid(5);
        if (line.startsWith(QStringLiteral("RATIO "))) run.ratio = line.mid(6).toDouble();
    }
    return run;
}

}  // namespace

// Not run on its own: the child process of the test below.
TEST(HighDensityChild, DISABLED_Report) {
    AppHarness h;
    qreal ratio = 0;
    for (const QString& fact : GeometryFacts(h, &ratio)) {
        std::cout << "FACT " << fact.toStdString() << "\n";
    }
    std::cout << "RATIO " << ratio << std::endl;
}

TEST(HighDensity, SignInWindowsKeepTheirLayoutAtAnyDensity) {
    AppHarness h;
    const QStringList ordinary = GeometryFacts(h);
    ASSERT_FALSE(ordinary.isEmpty());
    // At the ordinary density every control is inside and every text fits.
    for (const QString& fact : ordinary) {
        if (fact.contains(QStringLiteral("inside="))) {
            EXPECT_TRUE(fact.endsWith(QStringLiteral("inside=1 fits=1"))) << fact.toStdString();
        }
    }

    const struct {
        const char* variable;
        const char* value;
        qreal ratio;
    } densities[] = {{"QT_SCALE_FACTOR", "1.5", 1.5}, {"QT_FONT_DPI", "144", 1.5}};
    for (const auto& d : densities) {
        SCOPED_TRACE(d.variable);
        const ChildRun run = RunChild(QString::fromLatin1(d.variable), QString::fromLatin1(d.value));
        ASSERT_TRUE(run.error.isEmpty()) << run.error.toStdString();
        // The child really ran at that density...
        EXPECT_DOUBLE_EQ(run.ratio, d.ratio);
        // ...and saw the same logical windows and controls.
        EXPECT_EQ(run.facts, ordinary);
    }
}

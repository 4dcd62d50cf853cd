// Builds the help document "guide.pdf" from the user guide in Markdown, at
// build time, with nothing but Qt: the text is laid out by QTextDocument and
// printed page by page into a PDF.
//
//   mkguide <guide.md> <guide.pdf>

#include <QFile>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <cstdio>

namespace {

// Markdown tables come without rules; give them thin borders, some room and
// a shaded heading row so that they read as tables on paper.
void StyleTables(QTextFrame* frame) {
    for (QTextFrame* child : frame->childFrames()) {
        if (auto* table = qobject_cast<QTextTable*>(child)) {
            QTextTableFormat format = table->format();
            format.setBorder(0.5);
            format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
            format.setBorderBrush(QColor(0xB8, 0xC2, 0xD3));
            format.setBorderCollapse(true);
            format.setCellPadding(4);
            format.setCellSpacing(0);
            format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
            table->setFormat(format);
            for (int row = 0; row < table->rows(); ++row) {
                for (int column = 0; column < table->columns(); ++column) {
                    QTextTableCell cell = table->cellAt(row, column);
                    QTextTableCellFormat look = cell.format().toTableCellFormat();
                    look.setBorder(0.5);
                    look.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
                    look.setBorderBrush(QColor(0xB8, 0xC2, 0xD3));
                    if (row == 0) look.setBackground(QColor(0xE6, 0xEC, 0xF5));
                    cell.setFormat(look);
                }
            }
        }
        StyleTables(child);
    }
}

// Headings in the product's navy; code in a fixed-width face.
void StyleText(QTextDocument& doc) {
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        const int level = block.blockFormat().headingLevel();
        if (level == 0) continue;
        // Only this block: a selection reaching into the block before would
        // hand that block the heading's format and take it out of its list.
        QTextCursor cursor(block);
        QTextBlockFormat spacing = block.blockFormat();
        spacing.setTopMargin(level == 1 ? 0 : 14);
        spacing.setBottomMargin(6);
        cursor.setBlockFormat(spacing);
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        QTextCharFormat format;
        format.setForeground(QColor(0x1B, 0x2A, 0x4A));
        cursor.mergeCharFormat(format);
    }
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: mkguide <guide.md> <guide.pdf>\n");
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "mkguide: cannot read %s\n", argv[1]);
        return 1;
    }
    const QString markdown = QString::fromUtf8(in.readAll());

    QTextDocument doc;
    QFont body(QStringLiteral("DejaVu Sans"));
    body.setPointSizeF(10);
    doc.setDefaultFont(body);
    doc.setMarkdown(markdown);
    if (doc.isEmpty()) {
        std::fprintf(stderr, "mkguide: %s is empty\n", argv[1]);
        return 1;
    }
    StyleTables(doc.rootFrame());
    StyleText(doc);

    const QString outPath = QString::fromLocal8Bit(argv[2]);
    {
        QPdfWriter writer(outPath);
        writer.setTitle(QStringLiteral("Palindor User Guide"));
        writer.setCreator(QStringLiteral("Palindor"));
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(18, 18, 18, 18), QPageLayout::Millimeter));
        doc.print(&writer);
    }
    QFile out(outPath);
    if (!out.exists() || out.size() == 0) {
        std::fprintf(stderr, "mkguide: could not write %s\n", argv[2]);
        return 1;
    }
    return 0;
}

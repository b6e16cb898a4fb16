#include "FilePreview.h"

#include "PreviewEditor.h"

#include <QFile>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QVBoxLayout>

namespace {
// UTF-16 offset of code point `column` (from 1) in `text`, clamped to its end.
int offsetOfColumn(const QString &text, qint32 column) {
    int offset = 0;
    for (qint32 c = 1; c < column && offset < text.size(); ++c)
        offset += (text.at(offset).isHighSurrogate() && offset + 1 < text.size()) ? 2 : 1;
    return offset;
}

// The file split into lines as the engine splits them: at LF or CR LF, nothing else.
QString asPlainLines(const QByteArray &bytes) {
    QString text = QString::fromUtf8(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    // The text document starts a block at each of these too, which would shift every line
    // below: a lone CR or a paragraph separator becomes a soft break inside its line, frame
    // markers (non-characters) the replacement character.
    for (QChar &ch : text) {
        if (ch == QLatin1Char('\r') || ch == QChar::ParagraphSeparator)
            ch = QChar::LineSeparator;
        else if (ch == QChar(0xFDD0) || ch == QChar(0xFDD1))
            ch = QChar::ReplacementCharacter;
    }
    return text;
}
} // namespace

FilePreview::FilePreview(QWidget *parent) : QDialog(parent), mEditor(new PreviewEditor(this)) {
    mEditor->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    mEditor->setTabStopDistance(4 * mEditor->fontMetrics().horizontalAdvance(QLatin1Char(' ')));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(mEditor);
    resize(720, 480);
}

bool FilePreview::showFinding(const QString &sFileName, qint32 lLine, qint32 lColumn,
                              qint32 length) {
    QFile file(sFileName);
    if (!file.open(QIODevice::ReadOnly)) {
        mErrorString = QStringLiteral("Cannot open %1: %2").arg(sFileName, file.errorString());
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        mErrorString = QStringLiteral("Cannot read %1: %2").arg(sFileName, file.errorString());
        return false;
    }
    mErrorString.clear();
    setWindowTitle(QStringLiteral("%1 (line %2)").arg(sFileName).arg(lLine));
    mEditor->setPlainText(asPlainLines(bytes));

    QList<QTextEdit::ExtraSelection> marks;
    const QTextBlock block = mEditor->document()->findBlockByNumber(lLine - 1);
    if (lLine >= 1 && block.isValid()) {
        QTextCursor cursor(block);
        QTextEdit::ExtraSelection lineMark;
        lineMark.format.setBackground(palette().color(QPalette::AlternateBase));
        lineMark.format.setProperty(QTextFormat::FullWidthSelection, true);
        lineMark.cursor = cursor;
        marks.append(lineMark);

        const QString line = block.text();
        const int start = offsetOfColumn(line, lColumn);
        const int end = offsetOfColumn(line, lColumn + qMax(length, 0));
        QTextEdit::ExtraSelection found;
        found.format.setBackground(palette().color(QPalette::Highlight));
        found.format.setForeground(palette().color(QPalette::HighlightedText));
        found.cursor = QTextCursor(block);
        found.cursor.setPosition(block.position() + start);
        found.cursor.setPosition(block.position() + end, QTextCursor::KeepAnchor);
        marks.append(found);

        cursor.setPosition(block.position() + start);
        mEditor->setTextCursor(cursor);
        mEditor->showLine(block.blockNumber(), block.position() + start, block.position() + end);
    } else {
        mEditor->showLine(0); // not where an earlier finding was
    }
    mEditor->setExtraSelections(marks);
    return true;
}

QString FilePreview::highlightedText() const {
    const auto marks = mEditor->extraSelections();
    return marks.size() == 2 ? marks.at(1).cursor.selectedText() : QString();
}

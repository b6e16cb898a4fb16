#include "FilePreview.h"
#include "PreviewEditor.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

namespace {
bool writeFile(const QString &path, const QByteArray &content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}
} // namespace

// The preview must land on the line and column the engine reported, whose lines end only at
// LF or CR LF and whose columns count code points.
class TestFilePreview : public QObject {
    Q_OBJECT
private slots:
    void highlightsTheFindingWhereTheEngineFoundIt_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("highlighted");

        QTest::newRow("lf") << QByteArray("one\ntwo needle\nthree\n") << 2 << 5 << 6
                            << QStringLiteral("needle");
        QTest::newRow("crlf") << QByteArray("one\r\ntwo\r\nx needle\r\n") << 3 << 3 << 6
                              << QStringLiteral("needle");
        // A lone CR ends no line: the finding below it is still on line 2.
        QTest::newRow("lone cr") << QByteArray("a\rb\nc needle\n") << 2 << 3 << 6
                                 << QStringLiteral("needle");
        QTest::newRow("last line without end")
            << QByteArray("x\ny needle") << 2 << 3 << 6 << QStringLiteral("needle");
        // Two characters outside the BMP before the finding: columns are code points.
        QTest::newRow("astral characters") << QByteArray("\xF0\x9F\x98\x80\xF0\x9F\x98\x80 needle")
                                           << 1 << 4 << 6 << QStringLiteral("needle");
        QTest::newRow("length past the line end")
            << QByteArray("abc needle\n") << 1 << 5 << 40 << QStringLiteral("needle");
        QTest::newRow("line beyond the file") << QByteArray("abc\n") << 9 << 1 << 3 << QString();
    }
    void highlightsTheFindingWhereTheEngineFoundIt() {
        QFETCH(QByteArray, content);
        QFETCH(int, line);
        QFETCH(int, column);
        QFETCH(int, length);
        QFETCH(QString, highlighted);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("f.txt"));
        QVERIFY(writeFile(path, content));

        FilePreview preview;
        QVERIFY(preview.showFinding(path, line, column, length));
        QCOMPARE(preview.highlightedText(), highlighted);
        QVERIFY(preview.editor()->isReadOnly());
        if (!highlighted.isEmpty())
            QCOMPARE(preview.editor()->textCursor().blockNumber(), line - 1);
    }

    void findingShowsBelowItsContextWithLineNumbers_data() {
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("firstVisible");
        QTest::newRow("first line") << 1 << 0;
        QTest::newRow("within the context of the top") << 4 << 0;
        QTest::newRow("just below it") << 7 << 1;
        QTest::newRow("deep in the file") << 150 << 150 - 1 - PreviewEditor::ContextLines;
    }
    void findingShowsBelowItsContextWithLineNumbers() {
        QFETCH(int, line);
        QFETCH(int, firstVisible);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("long.txt"));
        QByteArray content;
        for (int i = 1; i <= 400; ++i)
            content += QByteArray::number(i) + " needle\n";
        QVERIFY(writeFile(path, content));

        FilePreview preview;
        QVERIFY(preview.showFinding(path, line, 1, 3));
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        QCOMPARE(preview.editor()->firstVisibleLine(), firstVisible);
        // Room for "400" at the left of the text.
        const int digits = preview.editor()->fontMetrics().horizontalAdvance(QStringLiteral("400"));
        QVERIFY(preview.editor()->lineNumberWidth() > digits);
        QVERIFY(preview.editor()->viewport()->x() >= preview.editor()->lineNumberWidth());
    }

    void scrollsSidewaysOnlyForAMatchOutOfView_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("scrolled");
        QTest::newRow("near the start") << 20 << false;
        QTest::newRow("far right") << 400 << true;
    }
    void scrollsSidewaysOnlyForAMatchOutOfView() {
        QFETCH(int, column);
        QFETCH(bool, scrolled);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("wide.txt"));
        QVERIFY(writeFile(path, QByteArray(column - 1, 'x') + "needle" + QByteArray(500, 'y')));

        FilePreview preview;
        preview.resize(720, 300);
        QVERIFY(preview.showFinding(path, 1, column, 6));
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        PreviewEditor *editor = preview.editor();
        QTextCursor match(editor->document());
        match.setPosition(column - 1);
        const int left = editor->cursorRect(match).left();
        match.setPosition(column + 5);
        const int right = editor->cursorRect(match).right();
        QVERIFY(left >= 0 && right <= editor->viewport()->width());
        // The line's start stays in view when the match fits beside it.
        QCOMPARE(editor->horizontalScrollBar()->value() > 0, scrolled);
    }

    void unreadableFileIsReportedNotShown() {
        FilePreview preview;
        QVERIFY(!preview.showFinding(QStringLiteral("/nonexistent/f.txt"), 1, 1, 1));
        QVERIFY(preview.errorString().contains(QStringLiteral("/nonexistent/f.txt")));
    }
};

QTEST_MAIN(TestFilePreview)
#include "tst_filepreview.moc"

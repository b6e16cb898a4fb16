#pragma once

#include <QDialog>

class PreviewEditor;
class QPlainTextEdit;

// A read-only view of one file with line numbers, scrolled to a finding with a few lines above
// it, the found text highlighted.
class FilePreview : public QDialog {
    Q_OBJECT
public:
    explicit FilePreview(QWidget *parent = nullptr);

    // Shows the file with line lLine (first line 1) in view and `length` characters highlighted
    // from column lColumn (first character 1, counted in code points, as the engine counts).
    // False, with errorString() set, when the file cannot be read.
    bool showFinding(const QString &sFileName, qint32 lLine, qint32 lColumn, qint32 length);

    QString errorString() const { return mErrorString; }
    PreviewEditor *editor() const { return mEditor; }
    // The highlighted text, empty when the finding lies outside the file.
    QString highlightedText() const;

private:
    PreviewEditor *mEditor;
    QString mErrorString;
};

#pragma once

#include <QPlainTextEdit>

// A read-only text view with line numbers in a margin at its left that can bring a line into
// view with a few lines of context above it, scrolled sideways only as far as its match needs.
class PreviewEditor : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr int ContextLines = 5;

    explicit PreviewEditor(QWidget *parent = nullptr);

    // Scrolls so that line `block` (from 0) shows with up to ContextLines lines above it, and the
    // text between document positions `from` and `to` (none when from is negative) shows too.
    void showLine(int block, int from = -1, int to = -1);
    // The first line in view (from 0) and the width of the line-number margin, in pixels.
    int firstVisibleLine() const;
    int lineNumberWidth() const;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    friend class LineNumberMargin;
    void paintLineNumbers(QPaintEvent *event);
    void placeMargin();

    QWidget *mMargin;
    int mlShownLine = -1;
    int mlMatchFrom = -1;
    int mlMatchTo = -1;
};

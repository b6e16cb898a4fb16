#include "PreviewEditor.h"

#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>

// The line-number margin: paints what its editor tells it.
class LineNumberMargin : public QWidget {
public:
    explicit LineNumberMargin(PreviewEditor *editor) : QWidget(editor), mEditor(editor) {}
    QSize sizeHint() const override { return {mEditor->lineNumberWidth(), 0}; }

protected:
    void paintEvent(QPaintEvent *event) override { mEditor->paintLineNumbers(event); }

private:
    PreviewEditor *mEditor;
};

PreviewEditor::PreviewEditor(QWidget *parent)
    : QPlainTextEdit(parent), mMargin(new LineNumberMargin(this)) {
    setReadOnly(true);
    setLineWrapMode(NoWrap);
    connect(this, &QPlainTextEdit::blockCountChanged, this, &PreviewEditor::placeMargin);
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect &rect, int dy) {
        if (dy != 0)
            mMargin->scroll(0, dy);
        else
            mMargin->update(0, rect.y(), mMargin->width(), rect.height());
    });
    placeMargin();
}

int PreviewEditor::firstVisibleLine() const {
    return firstVisibleBlock().blockNumber();
}

int PreviewEditor::lineNumberWidth() const {
    const int digits = int(QString::number(qMax(1, blockCount())).size());
    return 8 + fontMetrics().horizontalAdvance(QLatin1Char('9')) * digits;
}

void PreviewEditor::placeMargin() {
    setViewportMargins(lineNumberWidth(), 0, 0, 0);
    const QRect area = contentsRect();
    mMargin->setGeometry(area.left(), area.top(), lineNumberWidth(), area.height());
}

void PreviewEditor::resizeEvent(QResizeEvent *event) {
    QPlainTextEdit::resizeEvent(event);
    placeMargin();
}

void PreviewEditor::showLine(int block, int from, int to) {
    mlShownLine = block;
    mlMatchFrom = from;
    mlMatchTo = to;
    // A hidden editor does not know how many lines fit yet; showEvent scrolls again.
    verticalScrollBar()->setValue(qMax(0, block - ContextLines));
    // Moving the text cursor to the match scrolled sideways for a viewport of any width, often
    // hiding the start of every line: the line's start stays unless the match would be cut.
    QScrollBar *sideways = horizontalScrollBar();
    sideways->setValue(0);
    if (from < 0)
        return;
    QTextCursor cursor(document());
    cursor.setPosition(to);
    const int right = cursorRect(cursor).right();
    cursor.setPosition(from);
    const int left = cursorRect(cursor).left();
    const int room = viewport()->width();
    const int gap = 4 * fontMetrics().averageCharWidth();
    if (right + gap > room)
        sideways->setValue(qMax(0, qMin(left - gap, right + gap - room)));
}

void PreviewEditor::showEvent(QShowEvent *event) {
    QPlainTextEdit::showEvent(event);
    if (mlShownLine >= 0)
        showLine(mlShownLine, mlMatchFrom, mlMatchTo);
}

void PreviewEditor::paintLineNumbers(QPaintEvent *event) {
    QPainter painter(mMargin);
    painter.fillRect(event->rect(), palette().color(QPalette::AlternateBase));
    const int current = textCursor().blockNumber();
    QTextBlock block = firstVisibleBlock();
    int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
    while (block.isValid() && top <= event->rect().bottom()) {
        const int height = qRound(blockBoundingRect(block).height());
        if (block.isVisible() && top + height >= event->rect().top()) {
            painter.setPen(palette().color(
                block.blockNumber() == current ? QPalette::Text : QPalette::PlaceholderText));
            painter.drawText(0, top, mMargin->width() - 4, height,
                             Qt::AlignRight | Qt::AlignVCenter,
                             QString::number(block.blockNumber() + 1));
        }
        top += height;
        block = block.next();
    }
}

#pragma once

#include <QStyledItemDelegate>

#include <functional>

class QFontMetrics;

// Draws the cells of a flex grid so that narrow columns stay readable: a whole number is never
// elided (squeezed instead when it is wider than its column), other text is elided in the middle
// so a path keeps its file name, and the highlight column shows tabs as spaces and the matched
// characters in the highlight colours, scrolled into view when the line is too long.
// Only the drawing changes: the model's texts stay as they are.
class FlexGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit FlexGridDelegate(QObject *parent = nullptr);

    // In model column textColumn, `length` characters are highlighted from the position (first
    // character 1, in code points) held by the same row's positionColumn. length 0: none.
    void setHighlight(int textColumn, int positionColumn, int length);
    // The number of characters (code points) to highlight in line from position; 0 for none.
    using MatchLength = std::function<int(const QString &line, int position)>;
    // As above, with a length found for each row's line; an empty function highlights nothing.
    void setHighlight(int textColumn, int positionColumn, MatchLength length);

    // What the highlight column shows of `line` in `width` pixels: tabs expanded to the next
    // multiple of kTabWidth, an ellipsis where text is cut, and where the match lies in it.
    struct ShownLine {
        QString text;
        int matchStart = 0; // UTF-16 offsets into text
        int matchLength = 0;
    };
    static constexpr int kTabWidth = 4;
    static ShownLine shownLine(const QString &line, int position, int length,
                               const QFontMetrics &metrics, int width);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

private:
    void drawNumber(QPainter *painter, const QString &text, const QRect &area) const;
    void drawLine(QPainter *painter, const QStyleOptionViewItem &option, const QString &text,
                  int position, const QRect &area) const;

    int mTextColumn = -1;
    int mPositionColumn = -1;
    MatchLength mMatchLength;
};

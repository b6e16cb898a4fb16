#pragma once

#include <QFont>
#include <QHash>
#include <QStaticText>
#include <QStyledItemDelegate>

#include <functional>

class QFontMetrics;

// Draws the cells of a results table so that narrow columns stay readable: numbers in the view's
// font, elided at the right only when the column is too narrow; other text elided as the view's
// text elide mode says (from the left keeps a path's file name); the highlight column shows tabs
// as spaces and the matched characters in colours of their own, scrolled into view when the
// line is too long. Only the drawing changes: the model's texts stay as they are.
// What a cell shows is laid out once per text, width and font and then reused, so a repaint
// costs a lookup and a few glyph runs per visible cell however many rows the grid holds.
class ResultsTableDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit ResultsTableDelegate(QObject *parent = nullptr);

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

    // A match's colours: its own, not the selection's, so that it reads on a plain row and on
    // a selected one alike.
    static QColor matchBackground() { return QColor(0xff, 0xd5, 0x4f); }
    static QColor matchText() { return QColor(Qt::black); }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

private:
    enum class Kind { Text, Number, Line };
    // A cell's text laid out for its width: up to three runs, the middle one the match.
    struct CellLayout {
        QStaticText before;
        QStaticText match;
        QStaticText after;
        qreal matchX = 0;
        qreal afterX = 0;
        qreal matchWidth = 0;
    };
    struct CellKey {
        QString text;
        int width;
        int position; // Line: the match's position; Text: the elide mode
        Kind kind;
        bool operator==(const CellKey &other) const {
            return width == other.width && position == other.position && kind == other.kind &&
                   text == other.text;
        }
        friend size_t qHash(const CellKey &key, size_t seed = 0) {
            return qHashMulti(seed, key.text, key.width, key.position, int(key.kind));
        }
    };
    const CellLayout &cellLayout(const CellKey &key, const QFont &font,
                                 const QFontMetrics &metrics) const;
    CellLayout lineLayout(const QString &text, int position, int width,
                          const QFontMetrics &metrics) const;

    int mTextColumn = -1;
    int mPositionColumn = -1;
    MatchLength mMatchLength;
    // Layouts of the cells drawn lately, for mLayoutFont; a few screens' worth at most.
    mutable QHash<CellKey, CellLayout> mLayouts;
    mutable QFont mLayoutFont;
};

#include "ResultsTableDelegate.h"

#include <QApplication>
#include <QPainter>

namespace {
const QChar kEllipsis(0x2026);
constexpr int kMeasuredStretch = 1000;

// Leaves offset on the first unit of a code point.
int codePointStart(const QString &text, int offset) {
    if (offset > 0 && offset < text.size() && text.at(offset).isLowSurrogate())
        ++offset;
    return offset;
}
} // namespace

ResultsTableDelegate::ResultsTableDelegate(QObject *parent) : QStyledItemDelegate(parent) {}

void ResultsTableDelegate::setHighlight(int textColumn, int positionColumn, int length) {
    setHighlight(textColumn, positionColumn,
                 length > 0 ? MatchLength([length](const QString &, int) { return length; })
                            : MatchLength());
}

void ResultsTableDelegate::setHighlight(int textColumn, int positionColumn, MatchLength length) {
    mTextColumn = textColumn;
    mPositionColumn = positionColumn;
    mMatchLength = std::move(length);
    mLayouts.clear();
}

ResultsTableDelegate::ShownLine ResultsTableDelegate::shownLine(const QString &line, int position,
                                                                int length,
                                                                const QFontMetrics &metrics,
                                                                int width) {
    // Tabs expanded; matchFrom and matchTo follow code points 'position' and 'position + length'.
    const int firstCodePoint = position - 1;
    const int endCodePoint = length > 0 && position >= 1 ? firstCodePoint + length : -1;
    QString text;
    text.reserve(line.size());
    int matchFrom = -1;
    int matchTo = -1;
    int codePoint = 0;
    for (int i = 0; i < line.size(); ++codePoint) {
        if (codePoint == firstCodePoint && endCodePoint > 0)
            matchFrom = int(text.size());
        if (codePoint == endCodePoint)
            matchTo = int(text.size());
        const QChar ch = line.at(i);
        if (ch == QLatin1Char('\t')) {
            text.append(QString(kTabWidth - int(text.size()) % kTabWidth, QLatin1Char(' ')));
            ++i;
        } else if (ch.isHighSurrogate() && i + 1 < line.size()) {
            text.append(ch).append(line.at(i + 1));
            i += 2;
        } else {
            text.append(ch);
            ++i;
        }
    }
    if (matchFrom < 0)
        matchFrom = matchTo = 0; // the match does not lie within the line
    else if (matchTo < 0)
        matchTo = int(text.size());

    // A cell shows a few hundred characters at most: measuring a line of megabytes at every
    // repaint would stall the grid, so only a stretch around the match is measured.
    if (text.size() > 2 * kMeasuredStretch) {
        const int first = codePointStart(text, qMax(0, matchFrom - kMeasuredStretch));
        const int last = codePointStart(text, qMin(int(text.size()), matchTo + kMeasuredStretch));
        const QString before = first > 0 ? QString(kEllipsis) : QString();
        const QString after = last < text.size() ? QString(kEllipsis) : QString();
        text = before + text.mid(first, last - first) + after;
        matchFrom += int(before.size()) - first;
        matchTo += int(before.size()) - first;
    }

    if (metrics.horizontalAdvance(text) <= width)
        return {text, matchFrom, matchTo - matchFrom};

    // Too long: start late enough that the match shows, with as much before it as fits in three
    // quarters of the width, so a little of what follows shows too.
    const int ellipsisWidth = metrics.horizontalAdvance(kEllipsis);
    const auto fits = [&](int from, int budget) {
        return (from > 0 ? ellipsisWidth : 0) +
                   metrics.horizontalAdvance(text.mid(from, matchTo - from)) <=
               budget;
    };
    int from = 0;
    const int budget = width - width / 4;
    if (matchTo > matchFrom && !fits(0, budget)) {
        int low = 1;
        int high = matchFrom;
        while (low < high) {
            const int middle = (low + high) / 2;
            if (fits(middle, budget))
                high = middle;
            else
                low = middle + 1;
        }
        from = codePointStart(text, low);
    }
    const QString prefix = from > 0 ? QString(kEllipsis) : QString();
    const QString rest = text.mid(from);
    const QString tail =
        metrics.elidedText(rest, Qt::ElideRight, width - metrics.horizontalAdvance(prefix));
    const int visible = tail == rest
                            ? int(rest.size())
                            : qMax(0, int(tail.size()) - (tail.endsWith(kEllipsis) ? 1 : 0));
    const int start = qMax(matchFrom, from);
    const int end = qMin(matchTo, from + visible);
    const int shownStart = int(prefix.size()) + start - from;
    return {prefix + tail, end > start ? shownStart : 0, qMax(0, end - start)};
}

void ResultsTableDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                 const QModelIndex &index) const {
    // Drawn here rather than through the style's item-view element, which initialises a style
    // option, measures and elides the text anew for every cell at every repaint.
    const QString text = index.data(Qt::DisplayRole).toString();
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    const QPalette::ColorGroup group = !(option.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (option.state & QStyle::State_Active) ? QPalette::Normal
                                                                               : QPalette::Inactive;
    const bool selected = option.state & QStyle::State_Selected;
    if (selected) {
        painter->fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));
    } else {
        const QVariant background = index.data(Qt::BackgroundRole);
        if (background.canConvert<QBrush>())
            painter->fillRect(option.rect, qvariant_cast<QBrush>(background));
    }
    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.backgroundColor =
            option.palette.color(group, selected ? QPalette::Highlight : QPalette::Base);
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
    }
    if (text.isEmpty())
        return;

    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    CellKey key{text, 0, 0, Kind::Text};
    QRect area = option.rect.adjusted(margin, 0, -margin, 0);
    if (index.column() == mTextColumn) {
        bool hasPosition = false;
        const int position =
            mMatchLength
                ? index.siblingAtColumn(mPositionColumn).data().toString().toInt(&hasPosition)
                : 0;
        key.kind = Kind::Line;
        key.position = hasPosition ? position : 0;
    } else {
        bool isNumber = false;
        text.toLongLong(&isNumber);
        if (isNumber) {
            // Numbers keep to the cell's edges: a narrow column still shows five digits.
            key.kind = Kind::Number;
            area = option.rect.adjusted(2, 0, -1, 0);
        } else {
            key.position = option.textElideMode;
        }
    }
    key.width = std::max(area.width(), 0);
    if (option.font != painter->font())
        painter->setFont(option.font);
    const CellLayout &layout = cellLayout(key, option.font, option.fontMetrics);
    const QFontMetrics &metrics = option.fontMetrics;
    const qreal y = option.rect.top() + (option.rect.height() - metrics.height()) / 2;
    const QPen pen(
        option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setPen(pen);
    painter->drawStaticText(QPointF(area.left(), y), layout.before);
    if (!layout.match.text().isEmpty()) {
        painter->fillRect(QRectF(area.left() + layout.matchX, option.rect.top() + 1,
                                 layout.matchWidth, option.rect.height() - 2),
                          matchBackground());
        painter->setPen(matchText());
        painter->drawStaticText(QPointF(area.left() + layout.matchX, y), layout.match);
        painter->setPen(pen);
    }
    if (!layout.after.text().isEmpty())
        painter->drawStaticText(QPointF(area.left() + layout.afterX, y), layout.after);
}

const ResultsTableDelegate::CellLayout &
ResultsTableDelegate::cellLayout(const CellKey &key, const QFont &font,
                                 const QFontMetrics &metrics) const {
    // Enough for the cells of several screens; dropping all at once is cheaper than tracking
    // which were drawn last.
    constexpr qsizetype kMaxLayouts = 8192;
    if (mLayoutFont != font || mLayouts.size() >= kMaxLayouts) {
        mLayouts.clear();
        mLayoutFont = font;
    }
    const auto found = mLayouts.constFind(key);
    if (found != mLayouts.constEnd())
        return *found;
    CellLayout layout;
    switch (key.kind) {
    case Kind::Line:
        layout = lineLayout(key.text, key.position, key.width, metrics);
        break;
    case Kind::Number:
        layout.before.setText(metrics.elidedText(key.text, Qt::ElideRight, key.width));
        break;
    case Kind::Text:
        layout.before.setText(
            metrics.elidedText(key.text, Qt::TextElideMode(key.position), key.width));
        break;
    }
    for (QStaticText *run : {&layout.before, &layout.match, &layout.after}) {
        run->setTextFormat(Qt::PlainText);
        run->prepare(QTransform(), mLayoutFont);
    }
    return *mLayouts.insert(key, layout);
}

ResultsTableDelegate::CellLayout
ResultsTableDelegate::lineLayout(const QString &text, int position, int width,
                                 const QFontMetrics &metrics) const {
    const int length = mMatchLength && position >= 1 ? mMatchLength(text, position) : 0;
    const ShownLine shown = shownLine(text, position, length, metrics, width);
    CellLayout layout;
    const QString before = shown.text.left(shown.matchStart);
    layout.before.setText(before);
    if (shown.matchLength > 0) {
        const QString match = shown.text.mid(shown.matchStart, shown.matchLength);
        layout.match.setText(match);
        layout.matchX = metrics.horizontalAdvance(before);
        layout.matchWidth = metrics.horizontalAdvance(match);
        layout.after.setText(shown.text.mid(shown.matchStart + shown.matchLength));
        layout.afterX = layout.matchX + layout.matchWidth;
    } else {
        layout.before.setText(shown.text);
    }
    return layout;
}

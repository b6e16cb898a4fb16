#include "FlexGridDelegate.h"

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

FlexGridDelegate::FlexGridDelegate(QObject *parent) : QStyledItemDelegate(parent) {}

void FlexGridDelegate::setHighlight(int textColumn, int positionColumn, int length) {
    setHighlight(textColumn, positionColumn,
                 length > 0 ? MatchLength([length](const QString &, int) { return length; })
                            : MatchLength());
}

void FlexGridDelegate::setHighlight(int textColumn, int positionColumn, MatchLength length) {
    mTextColumn = textColumn;
    mPositionColumn = positionColumn;
    mMatchLength = std::move(length);
}

FlexGridDelegate::ShownLine FlexGridDelegate::shownLine(const QString &line, int position,
                                                        int length, const QFontMetrics &metrics,
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

void FlexGridDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                             const QModelIndex &index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();
    const QWidget *widget = opt.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    if (text.isEmpty())
        return;

    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget)
                           .adjusted(margin, 0, -margin, 0);
    const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (opt.state & QStyle::State_Active) ? QPalette::Normal
                                                                            : QPalette::Inactive;
    const bool selected = opt.state & QStyle::State_Selected;
    painter->save();
    painter->setClipRect(opt.rect);
    painter->setFont(opt.font);
    painter->setPen(
        opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    bool isNumber = false;
    text.toLongLong(&isNumber);
    if (index.column() == mTextColumn) {
        bool hasPosition = false;
        const int position =
            mMatchLength
                ? index.siblingAtColumn(mPositionColumn).data().toString().toInt(&hasPosition)
                : 0;
        drawLine(painter, opt, text, hasPosition ? position : 0, area);
    } else if (isNumber) {
        drawNumber(painter, text, area.united(opt.rect.adjusted(1, 0, -1, 0)));
    } else {
        painter->drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          opt.fontMetrics.elidedText(text, Qt::ElideMiddle, area.width()));
    }
    painter->restore();
}

void FlexGridDelegate::drawNumber(QPainter *painter, const QString &text, const QRect &cell) const {
    // A number shows whole: when it is wider than the cell, it is drawn narrower.
    const int textWidth = painter->fontMetrics().horizontalAdvance(text);
    QRect area = cell;
    if (textWidth > cell.width() && cell.width() > 0) {
        painter->translate(cell.left(), 0);
        painter->scale(qreal(cell.width()) / textWidth, 1.0);
        area = QRect(0, cell.top(), textWidth, cell.height());
    }
    painter->drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
}

void FlexGridDelegate::drawLine(QPainter *painter, const QStyleOptionViewItem &option,
                                const QString &text, int position, const QRect &area) const {
    const QFontMetrics &metrics = option.fontMetrics;
    const int length = mMatchLength && position >= 1 ? mMatchLength(text, position) : 0;
    const ShownLine shown = shownLine(text, position, length, metrics, area.width());
    const auto draw = [&](const QString &part, int x) {
        painter->drawText(QRect(x, area.top(), area.right() - x + 1, area.height()),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, part);
        return x + metrics.horizontalAdvance(part);
    };
    int x = draw(shown.text.left(shown.matchStart), area.left());
    if (shown.matchLength > 0) {
        const QString match = shown.text.mid(shown.matchStart, shown.matchLength);
        const QRect box(x, option.rect.top() + 1, metrics.horizontalAdvance(match),
                        option.rect.height() - 2);
        // On a selected row the highlight colours swap, so the match still stands out.
        const bool selected = option.state & QStyle::State_Selected;
        const QPalette &palette = option.palette;
        painter->save();
        painter->fillRect(
            box, palette.color(selected ? QPalette::HighlightedText : QPalette::Highlight));
        painter->setPen(palette.color(selected ? QPalette::Highlight : QPalette::HighlightedText));
        x = draw(match, x);
        painter->restore();
    }
    draw(shown.text.mid(shown.matchStart + shown.matchLength), x);
}

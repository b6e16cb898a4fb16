#pragma once

#include <QList>
#include <QStringView>

// An item of the engine's ResultsFound: path, tab, line, tab, column, tab, the line's text.
namespace FindingRecord {

// The four fields of a record, as views into it: the path (which may hold tabs) ends at the
// first tab that a line number, a tab, a column and a tab follow; the text keeps its own tabs.
// Text that is no such record is split at every tab.
QList<QStringView> fields(QStringView record);

} // namespace FindingRecord

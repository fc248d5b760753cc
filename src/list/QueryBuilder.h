#pragma once
// The query texts of the list window. Every filter, search and sort of the window turns the
// texts of its filter controls into one query over table 予定表; these functions build those texts
// and nothing else (no control is read or changed here, no query is run).
//
// The year text and the search text go into quoted literals: an apostrophe in them is doubled,
// so it can neither end the literal early nor change the query. Any other character is copied
// as typed, so * and ? keep their meaning as wildcards of LIKE.

#include <QString>

namespace list {

// The sort field the window starts with (内容).
constexpr int kDefaultSortIndex = 3;

// The state of the list window's filter controls at the moment of a call. The texts are as the
// boxes show them, typed text included.
struct FilterState {
    QString slot = QStringLiteral("すべて");  // "すべて" or "項目1".."項目4"
    QString level = QStringLiteral("すべて"); // "すべて" or "ﾚﾍﾞﾙ1".."ﾚﾍﾞﾙ5"
    QString alarm = QStringLiteral("すべて"); // "すべて", "False" or "True"
    bool dateFilter = false;
    QString year;
    QString month = QStringLiteral("すべて"); // "すべて" or "1月".."12月"
    QString search;
    int sortIndex = kDefaultSortIndex; // the index sortField() takes
};

enum class SortOrder { Ascending, Descending };

// Condition parts of the three combo boxes; empty for "すべて" and for any text outside the list.
QString slotPart(const QString& slotChoice);
QString levelPart(const QString& levelChoice);
QString alarmPart(const QString& alarmChoice);
// "/1/" .. "/12/" for "1月" .. "12月"; empty otherwise.
QString monthMarker(const QString& monthChoice);
// The field a sort index chooses (0 年月日, 1 項目番号, 2 アラーム, 3 内容, 4 レベル); an index
// outside 0..4 sorts by 内容, the window's default choice.
QString sortField(int optionIndex);
// The text inside a quoted SQL literal: apostrophes doubled, everything else unchanged.
QString literalText(const QString& text);

// The date filter: year and month only.
QString dateFilterQuery(const FilterState& state);
// The combined filter: slot, level and alarm, and year and month when the date filter is on.
QString combinedFilterQuery(const FilterState& state);
// The condition of every active filter, empty when none is active.
QString activeCondition(const FilterState& state);
// The content search over the active filters.
QString searchQuery(const FilterState& state);
// The sort by the selected field over the active filters (an earlier search is not kept).
QString sortQuery(const FilterState& state, SortOrder order);

} // namespace list

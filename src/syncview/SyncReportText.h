#pragma once
// The words the program uses for a sync's result: the menu item's caption, and the lines of the
// 同期の確認 window for conflicts and server events the file cannot show.

#include "sync/Engine.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QTime>

namespace syncview {

// The caption of 今すぐ同期 after a sync that ended at `at` with `report`: "（12:03 完了）" or
// "（失敗: パスワードが違います）" after the plain caption. The failure's first sentence only, cut to
// a length that keeps the menu narrow; the whole text belongs in the tooltip.
QString syncActionCaption(const QString& plain, const QTime& at, const calsync::SyncReport& report);
// The caption while a sync runs.
QString syncRunningCaption(const QString& plain);

// The report's lines for the 同期の確認 window, each conflict with both texts and each event not
// shown with its reason, leaving out those in `told` and adding the new ones to it: a conflict or
// an event that stays unshowable is told once, not at every sync.
QStringList newReportLines(const calsync::SyncReport& report, QSet<QString>& told);

} // namespace syncview

#pragma once
// Settings and rows of a test Schedule file, written and read through the store's own rules.

#include "day/DayWindows.h"
#include "platform/Colors.h"
#include "settings/Settings.h"
#include "store/Connection.h"
#include "store/DayRecords.h"
#include "support/Files.h"
#include "support/WindowFixture.h"

#include <QDate>
#include <QFontMetrics>
#include <QLabel>
#include <QString>
#include <QtTest>

namespace daytest {

// Distinct explicit level colours (0x00BBGGRR), so a test sees which one a box took.
constexpr qint32 kCrl[6] = {0x202020, 0x0000FF, 0x00A000, 0xFF0000, 0x00A0A0, 0xA000A0};
inline QColor crl(int level) {
    return platform::toQColor(kCrl[level]);
}

// One test's world: the shared window fixture with explicit level colours and `day` as the
// Selected date.
struct Fixture : testsupport::WindowFixture {
    explicit Fixture(const QDate& day) {
        settings::Settings& s = host.settingsRecord;
        s.setColorDefaults();
        for (int level = 0; level <= 5; ++level)
            s.levelColor(level) = kCrl[level];
        host.selected = day;
    }

    day::DayWindows windows;
};

using testrows::putSlot;
using testrows::storedSlot;

// Rows of the date, or -1 when the file cannot be read.
inline int rowCount(const QString& file, const QDate& date) {
    store::DataControl data;
    data.setDatabaseName(file);
    data.setRecordSource(store::dateQuery(store::dateString(date)));
    return data.refresh().failed() ? -1 : data.recordCount();
}

// Leaves at `path` a Schedule file that cannot be read: none ("missing"), bytes that are no
// database ("garbage"), or a database without the day table ("other database").
inline bool makeUnreadable(const QString& path, const QString& kind) {
    if (kind == QLatin1String("garbage"))
        return testsupport::writeBytes(path, QByteArray(4096, 'x'));
    if (kind != QLatin1String("other database"))
        return true;
    store::Error error;
    auto connection = store::Connection::create(path, &error);
    return connection && connection->exec(QStringLiteral("CREATE TABLE other (a TEXT)")).ok();
}

// The heading row of a day window: the date, the fixed text and the holiday's name (hidden when
// `holiday` is empty) each show whole, one after the other, inside the window.
inline void verifyHeadingRow(QWidget* window, const QString& dateLabel, const QString& suffixLabel,
                             const QString& holiday) {
    auto* name = window->findChild<QLabel*>(QStringLiteral("HolidayName"));
    QVERIFY(name);
    QCOMPARE(name->isVisibleTo(window), !holiday.isEmpty());
    QList<QLabel*> row = {window->findChild<QLabel*>(dateLabel), window->findChild<QLabel*>(suffixLabel)};
    if (!holiday.isEmpty()) {
        QCOMPARE(name->text(), holiday);
        row << name;
    }
    int end = 0;
    for (QLabel* label : row) {
        const int width = QFontMetrics(label->font()).horizontalAdvance(label->text());
        QVERIFY2(width <= label->contentsRect().width(), qPrintable(label->text()));
        QVERIFY(label->font().pointSizeF() >= (label == name ? 7 : 8));
        // Text starts at the label's left edge unless it is right-aligned.
        const int start =
            label->alignment() & Qt::AlignRight ? label->geometry().right() - width : label->x();
        QVERIFY2(start >= end, qPrintable(label->text()));
        end = start + width;
    }
    QVERIFY(end <= window->width());
}

} // namespace daytest

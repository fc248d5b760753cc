#pragma once
// The program-wide record of every configuration value, named after the keys
// of the Settings file.

#include "store/ScheduleLayout.h"

#include <QString>
#include <QtGlobal>
#include <array>

namespace settings {

// System colour 18 (button text) in the colour encoding of the Settings file.
constexpr qint32 kButtonTextColor = qint32(0x80000012u);
// RGB FF FF 80, light yellow: days that carry items.
constexpr qint32 kDefaultMarkedDayColor = 0x80FFFF;

// Each member is stored under its own key of the Settings file; the reader and writer in
// ConfigFile.cpp hold the key names.
struct Settings {
    QString scheduleFile;                                     // START_FILE
    QString settingsFile;                                     // INI_FILE
    std::array<QString, store::kSlotCount> slotLabels;        // KOUMOKU1..KOUMOKU4, by slot 1..4
    bool startInTray = false;                                 // START_MIN
    bool showTodayAtStart = false;                            // START_OUT
    std::array<qint32, store::kLevelCount + 1> levelColors{}; // CRL0..CRL5, by level 0..5
    bool markDaysWithItems = false;                           // KARE_ON
    qint32 markedDayColor = 0;                                // kareCRL
    QString alarmSoundFile;                                   // ALM_FILE
    bool openTodoAtStart = false;                             // ToDo_ON
    qint16 todoWidth = 0;                                     // ToDo_WID
    qint16 todoHeight = 0;                                    // ToDo_HEI
    qint32 todoTop = 0;                                       // ToDo_Top
    qint32 todoLeft = 0;                                      // ToDo_Left

    // The label of item slot 1..4 as the user typed it (may be empty).
    QString& slotLabel(int slot);
    const QString& slotLabel(int slot) const;
    // The colour of level 0..5.
    qint32& levelColor(int level);
    qint32 levelColor(int level) const;

    // The colour defaults that the main window puts in place before the file is read.
    void setColorDefaults();

    bool operator==(const Settings&) const = default;
};

// The caption of item slot n: its label, or "項目n" when that is empty.
QString itemLabel(const Settings& s, int slot);

} // namespace settings

#pragma once
// The program-wide record of every configuration value, named after the keys
// of the Settings file.

#include <QString>
#include <QtGlobal>

namespace settings {

// System colour 18 (button text) in the colour encoding of the Settings file.
constexpr qint32 kButtonTextColor = qint32(0x80000012u);
// RGB FF FF 80, light yellow: days that carry items.
constexpr qint32 kDefaultKareColor = 0x80FFFF;

struct Settings {
    QString START_FILE;
    QString INI_FILE;
    QString KOUMOKU1, KOUMOKU2, KOUMOKU3, KOUMOKU4;
    bool START_MIN = false;
    bool START_OUT = false;
    qint32 CRL0 = 0, CRL1 = 0, CRL2 = 0, CRL3 = 0, CRL4 = 0, CRL5 = 0;
    bool KARE_ON = false;
    qint32 kareCRL = 0;
    QString ALM_FILE;
    bool ToDo_ON = false;
    qint16 ToDo_WID = 0;
    qint16 ToDo_HEI = 0;
    qint32 ToDo_Top = 0;
    qint32 ToDo_Left = 0;

    // KOUMOKU1..KOUMOKU4 by slot number 1..4.
    QString& koumoku(int slot);
    const QString& koumoku(int slot) const;
    // CRL0..CRL5 by level 0..5.
    qint32& crl(int level);
    qint32 crl(int level) const;

    // The colour defaults that the main window puts in place before the file is read.
    void setColorDefaults();

    bool operator==(const Settings&) const = default;
};

// The caption of item slot n: KOUMOKUn, or "項目n" when that is empty.
QString itemLabel(const Settings& s, int slot);

} // namespace settings

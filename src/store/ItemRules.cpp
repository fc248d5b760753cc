#include "store/ItemRules.h"

#include "store/ScheduleLayout.h"

#include <cmath>

namespace store {

namespace {

// Reads a decimal number of 1 to `maxDigits` digits without a leading zero (any 1 to 5 digits in
// the loose form), up to `stop` or the end. `unit` gives the code unit at an index as a number.
template <typename Unit>
bool readNumber(const Unit& unit, qsizetype& i, qsizetype end, int maxDigits, char16_t stop, DateForm form,
                int* value) {
    const bool loose = form == DateForm::Loose;
    if (loose)
        maxDigits = 5;
    int digits = 0;
    *value = 0;
    for (; i < end && unit(i) != stop; ++i) {
        const char16_t c = unit(i);
        if (c < u'0' || c > u'9' || digits == maxDigits || (digits == 0 && c == u'0' && !loose))
            return false;
        *value = *value * 10 + (c - u'0');
        ++digits;
    }
    return digits > 0;
}

template <typename Unit> QDate parseDate(const Unit& unit, qsizetype size, DateForm form) {
    qsizetype i = 0;
    int year = 0;
    int month = 0;
    int day = 0;
    if (!readNumber(unit, i, size, 4, u'/', form, &year) || i++ == size ||
        !readNumber(unit, i, size, 2, u'/', form, &month) || i++ == size ||
        !readNumber(unit, i, size, 2, u'\0', form, &day) || i != size)
        return {};
    return QDate(year, month, day);
}

} // namespace

int storedLevel(const QVariant& stored) {
    bool ok = false;
    const double number = stored.isNull() ? 0 : stored.toDouble(&ok);
    return ok && number >= 1 && number <= kLevelCount && number == static_cast<int>(number)
               ? static_cast<int>(number)
               : 0;
}

int displayedLevel(const QVariant& stored) {
    if (!stored.isValid() || stored.isNull())
        return 0;
    bool ok = false;
    const double value = stored.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return 0;
    // The stored number is rounded half to even: nearbyint does so in the default rounding mode.
    const double rounded = std::nearbyint(value);
    if (rounded < 0 || rounded > 255)
        return 0;
    return static_cast<int>(rounded);
}

std::optional<int> levelOfText(const QString& levelText) {
    if (levelText.isEmpty())
        return 0;
    if (const int level = levelNumber(levelText))
        return level;
    return std::nullopt;
}

QDate dateOfString(QStringView text, DateForm form) {
    return parseDate([text](qsizetype i) { return text[i].unicode(); }, text.size(), form);
}

QDate dateOfString(QByteArrayView utf8, DateForm form) {
    return parseDate(
        [utf8](qsizetype i) { return static_cast<char16_t>(static_cast<unsigned char>(utf8[i])); },
        utf8.size(), form);
}

} // namespace store

#pragma once
// The plain sentence the user reads first for a failure of the Schedule file, as the store words
// it (the first line of store::describe()), so that a test finds a message by the store's own
// text rather than typing it again.

#include "store/Error.h"

#include <QString>
#include <sqlite3.h>

namespace testsupport {

// `engineText` matters where the engine's text decides the sentence ("no such table").
inline QString storeSentence(int code, const QString& engineText = QString()) {
    return store::describe(store::Error{code, engineText}).section(QLatin1Char('\n'), 0, 0);
}

} // namespace testsupport

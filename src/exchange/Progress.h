#pragma once

#include <QtGlobal>
#include <functional>

namespace exchange {

// Called now and then with the work done and the whole; returning false stops the work.
using Progress = std::function<bool(qint64 done, qint64 total)>;

} // namespace exchange

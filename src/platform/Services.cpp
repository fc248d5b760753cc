#include "platform/Services.h"

namespace platform {

Services& services() {
    static Services s;
    return s;
}

void install(const Services& s) {
    services() = s;
}

Answer message(const QString& text, const QString& caption, Icon icon, Buttons buttons) {
    return services().messages->show(text, caption, icon, buttons);
}

QDateTime now() {
    return services().clock->now();
}

qint64 epochSecond() {
    return services().clock->epochSecond();
}

QDate today() {
    return services().clock->today();
}

} // namespace platform

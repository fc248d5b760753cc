#include "support/FakePlatform.h"

namespace testsupport {

FakePlatform::FakePlatform() = default;

FakePlatform::~FakePlatform() {
    if (installed_)
        platform::install(previous_);
}

void FakePlatform::install() {
    previous_ = platform::services();
    installed_ = true;
    platform::install({this, this, this, this, this, this, this});
}

platform::Answer FakePlatform::show(const QString& text, const QString& caption, platform::Icon icon,
                                    platform::Buttons buttons) {
    const ShownMessage shown{text, caption, icon, buttons};
    messages << shown;
    if (onMessage)
        onMessage(shown);
    if (buttons == platform::Buttons::Ok)
        return platform::Answer::Ok;
    return answers.isEmpty() ? platform::Answer::No : answers.dequeue();
}

QString FakePlatform::openFile(const QString& filter, const platform::DialogPlace& place) {
    fileFilters << filter;
    filePlaces << place;
    return filePaths.isEmpty() ? QString() : filePaths.dequeue();
}

QString FakePlatform::saveFile(const QString& filter, const QString&, const platform::DialogPlace& place,
                               platform::SaveChoice* choice) {
    if (choice) {
        saveChoiceLabels << choice->label;
        if (!saveChoices.isEmpty())
            choice->checked = saveChoices.dequeue();
    }
    return openFile(filter, place);
}

std::optional<qint32> FakePlatform::pickColor(qint32) {
    ++colorDialogs;
    return colors.isEmpty() ? std::nullopt : colors.dequeue();
}

void FakePlatform::showContents() {
    ++helpShown;
}

QDateTime FakePlatform::now() const {
    return clock;
}

QSize FakePlatform::size() const {
    return screen;
}

void FakePlatform::start(const QString& path) {
    soundCalls << QStringLiteral("start:") + path;
    soundPlaying = true;
}

void FakePlatform::stop() {
    soundCalls << QStringLiteral("stop");
    soundPlaying = false;
}

} // namespace testsupport

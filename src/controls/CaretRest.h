#pragma once
// The text cursor rests after a while without typing or clicking: it stops blinking and stays
// shown, as desktops have it. A blinking cursor repaints its box twice a second for as long as
// the box has the focus, which would keep waking a program that nobody uses. A key press, a
// click, a turn of the wheel or a change of focus lets it blink again.

#include <QObject>
#include <QTimer>

namespace controls {

class CaretRest : public QObject {
  public:
    static constexpr int kRestAfterMs = 10000;

    // Watches the application's input; the desktop's blink rate is restored when it ends.
    explicit CaretRest(QObject* parent = nullptr, int restAfterMs = kRestAfterMs);
    ~CaretRest() override;

    bool resting() const { return resting_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void wake();
    void rest();

    QTimer rest_;
    int flashTime_; // the desktop's blink period in ms
    bool resting_ = false;
};

} // namespace controls

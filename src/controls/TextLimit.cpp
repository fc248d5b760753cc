#include "controls/TextLimit.h"

#include <QLineEdit>
#include <QValidator>

namespace controls {

namespace {

// Cuts a text back to `limit` code points, dropping what was just inserted before the cursor (as
// maxLength cuts the tail of an insertion); a lone surrogate half is dropped too, so only whole
// characters are kept.
class CodePointLimit : public QValidator {
  public:
    CodePointLimit(int limit, QObject* parent) : QValidator(parent), limit_(limit) {}

    State validate(QString& input, int& pos) const override {
        qsizetype count = 0;
        for (qsizetype i = 0; i < input.size();) {
            const bool pair =
                input.at(i).isHighSurrogate() && i + 1 < input.size() && input.at(i + 1).isLowSurrogate();
            if (!pair && input.at(i).isSurrogate()) {
                input.remove(i, 1);
                if (i < pos)
                    --pos;
                continue;
            }
            i += pair ? 2 : 1;
            ++count;
        }
        for (; count > limit_; --count) {
            const qsizetype end = pos > 0 ? pos : input.size();
            const int width = end >= 2 && input.at(end - 1).isLowSurrogate() ? 2 : 1;
            input.remove(end - width, width);
            if (pos > 0)
                pos -= width;
        }
        return Acceptable;
    }

  private:
    int limit_;
};

} // namespace

void limitCodePoints(QLineEdit* box, int codePoints) {
    box->setMaxLength(2 * codePoints);
    box->setValidator(new CodePointLimit(codePoints, box));
}

} // namespace controls

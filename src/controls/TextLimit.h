#pragma once
// A line edit that takes at most a number of characters counted as code points, as the Schedule
// file counts them (QLineEdit::setMaxLength counts UTF-16 units, so an emoji would count twice).

class QLineEdit;

namespace controls {

void limitCodePoints(QLineEdit* box, int codePoints);

} // namespace controls

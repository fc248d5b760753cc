#pragma once
// libical tells some faults of a file (an END before any BEGIN) only by printing a line on standard
// error, "<source file>:<line>: <text>", with no switch to turn that off or to send it elsewhere.
// While an IcalDiagnostics lives, standard error is caught instead, so that the fault reaches the
// user as the program's own message and nothing of libical's reaches the terminal.

#include <QString>

namespace exchange {

class IcalDiagnostics {
  public:
    IcalDiagnostics();
    ~IcalDiagnostics();
    IcalDiagnostics(const IcalDiagnostics&) = delete;
    IcalDiagnostics& operator=(const IcalDiagnostics&) = delete;

    // Gives standard error back and returns the text of libical's first line (empty when it printed
    // none). Standard error is the whole process's: what else was written meanwhile (by another
    // thread) is passed on to it.
    QString finish();

  private:
    int saved_ = -1;  // the standard error to give back
    int caught_ = -1; // the reading end of the pipe standard error leads into meanwhile
};

} // namespace exchange

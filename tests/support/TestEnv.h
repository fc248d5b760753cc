#pragma once
// A temporary program folder for one test: XDG_DATA_HOME and XDG_RUNTIME_DIR point into a fresh
// temporary directory for the lifetime of the object, so that nothing a test does reaches the
// user's own files.

#include <QString>
#include <QTemporaryDir>

namespace testsupport {

class TestEnv {
  public:
    TestEnv();
    ~TestEnv();

    // The program folder ($XDG_DATA_HOME/daduvov), created.
    QString programFolder() const;
    // A path inside the temporary directory (not created).
    QString path(const QString& name) const;
    // A new, empty Schedule file at path(name); the test fails when it cannot be made.
    QString makeScheduleFile(const QString& name = QStringLiteral("test.sdb")) const;

  private:
    QTemporaryDir dir_;
    QByteArray previousXdg_;
    QByteArray previousRuntime_;
};

} // namespace testsupport

#pragma once
// 同期設定: the sync account of the Schedule file in use. The user gives the server's address,
// the user name and the password, tries them with 接続テスト (which lists the calendars found),
// chooses a calendar and how often to sync, and saves; 同期をやめる forgets the account and the
// password and leaves the file's items as they are. The password goes to the Secret Service
// only. The server is asked on a worker thread, so the dialog never freezes.

#include "sync/Account.h"
#include "sync/CalDavClient.h"

#include <QDialog>
#include <atomic>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace syncview {

class SyncSettingsDialog : public QDialog {
    Q_OBJECT
  public:
    // The intervals offered, in minutes; 0 is しない.
    static constexpr int kIntervals[] = {0, 5, 15, 60};

    SyncSettingsDialog(const QString& schedulePath, QWidget* parent = nullptr);
    // Stops a connection test still under way.
    ~SyncSettingsDialog() override;

    // Runs 接続テスト; testFinished() tells when it has its answer.
    void testConnection();
    // What the dialog tells now (the last test's result or a failure), as plain text.
    QString statusText() const;

  signals:
    void testFinished(bool ok);
    // The account was saved or forgotten.
    void accountChanged();

  private:
    void build();
    void showAccount(const calsync::Account& account);
    void showCalendars(const calsync::Outcome<std::vector<calsync::Calendar>>& found);
    void tell(const QString& text, bool failure);
    void save();
    void forget();
    // What the fields say, as the account to test or save (the calendar not yet chosen).
    calsync::Account typedAccount() const;

    QString schedulePath_;
    std::optional<calsync::Account> stored_;
    std::vector<calsync::Calendar> calendars_;
    QString refusedFingerprint_;
    QString testedPassword_; // the password of the last test that found calendars
    std::shared_ptr<std::atomic_bool> stopTest_;

    QLineEdit* server_ = nullptr;
    QLineEdit* user_ = nullptr;
    QLineEdit* password_ = nullptr;
    QPushButton* test_ = nullptr;
    QComboBox* calendar_ = nullptr;
    QComboBox* interval_ = nullptr;
    QCheckBox* trust_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* forget_ = nullptr;
};

} // namespace syncview

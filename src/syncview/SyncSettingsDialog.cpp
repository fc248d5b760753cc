#include "syncview/SyncSettingsDialog.h"

#include "platform/Services.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QThread>
#include <QVBoxLayout>

namespace syncview {

namespace {

using Found = calsync::Outcome<std::vector<calsync::Calendar>>;

QString fingerprintIn(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("([0-9A-F]{2}:){31}[0-9A-F]{2}"));
    return pattern.match(text).captured(0);
}

QString calendarCaption(const calsync::Calendar& calendar) {
    const QString name = calendar.name.isEmpty() ? calendar.url.path() : calendar.name;
    return calendar.takesTodos ? name + QStringLiteral("（予定とToDo）")
                               : name + QStringLiteral("（予定のみ）");
}

// The sentence the dialog shows for a failed test: the client's own, except for a certificate,
// which the dialog can trust itself.
QString testFailure(const calsync::Failure& failure, const QString& fingerprint) {
    if (failure.kind == calsync::Failure::Kind::Certificate && !fingerprint.isEmpty())
        return QStringLiteral("サーバーの証明書を確認できませんでした（SHA-256 指紋: %1）。"
                              "この指紋がサーバーの管理者から知らされたものと同じときだけ、"
                              "「この証明書を信頼する」を選んでもう一度接続テストしてください。")
            .arg(fingerprint);
    QString text = failure.message;
    if (!failure.detail.isEmpty())
        text += QStringLiteral("\n") + failure.detail;
    return text;
}

} // namespace

SyncSettingsDialog::SyncSettingsDialog(const QString& schedulePath, QWidget* parent)
    : QDialog(parent), schedulePath_(schedulePath) {
    setObjectName(QStringLiteral("syncSettings"));
    setWindowTitle(QStringLiteral("同期設定"));
    setAttribute(Qt::WA_DeleteOnClose);
    build();
    const calsync::AccountRead read = calsync::readAccount(schedulePath_);
    if (!read.failure.isEmpty())
        tell(read.failure, true);
    if (read.account) {
        stored_ = read.account;
        showAccount(*read.account);
    }
    forget_->setEnabled(stored_.has_value());
}

SyncSettingsDialog::~SyncSettingsDialog() {
    if (stopTest_)
        stopTest_->store(true);
}

void SyncSettingsDialog::build() {
    auto* layout = new QVBoxLayout(this);
    auto* file = new QLabel(QStringLiteral("スケジュールファイル: ") + schedulePath_, this);
    file->setWordWrap(true);
    layout->addWidget(file);
    auto* form = new QFormLayout;
    server_ = new QLineEdit(this);
    server_->setPlaceholderText(QStringLiteral("https://… （サーバーまたはカレンダーのアドレス）"));
    user_ = new QLineEdit(this);
    password_ = new QLineEdit(this);
    password_->setEchoMode(QLineEdit::Password);
    test_ = new QPushButton(QStringLiteral("接続テスト(&T)"), this);
    calendar_ = new QComboBox(this);
    interval_ = new QComboBox(this);
    for (const int minutes : kIntervals)
        interval_->addItem(minutes == 0 ? QStringLiteral("しない") : QStringLiteral("%1分").arg(minutes),
                           minutes);
    interval_->setCurrentIndex(2);
    trust_ = new QCheckBox(QStringLiteral("この証明書を信頼する"), this);
    trust_->hide();
    form->addRow(QStringLiteral("サーバーのアドレス(&A):"), server_);
    form->addRow(QStringLiteral("ユーザー名(&U):"), user_);
    form->addRow(QStringLiteral("パスワード(&P):"), password_);
    form->addRow(QString(), test_);
    form->addRow(QString(), trust_);
    form->addRow(QStringLiteral("カレンダー(&C):"), calendar_);
    form->addRow(QStringLiteral("自動で同期する間隔(&I):"), interval_);
    layout->addLayout(form);
    status_ = new QLabel(this);
    status_->setWordWrap(true);
    status_->setTextFormat(Qt::PlainText);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(status_);
    auto* buttons = new QDialogButtonBox(this);
    save_ = buttons->addButton(QStringLiteral("保存(&S)"), QDialogButtonBox::AcceptRole);
    forget_ = buttons->addButton(QStringLiteral("同期をやめる(&R)"), QDialogButtonBox::DestructiveRole);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    save_->setDefault(true);
    save_->setEnabled(false);
    layout->addWidget(buttons);
    // Another server or user must be tried before it can be saved.
    for (QLineEdit* edit : {server_, user_})
        connect(edit, &QLineEdit::textEdited, this, [this] {
            calendar_->clear();
            calendars_.clear();
            save_->setEnabled(false);
        });
    connect(test_, &QPushButton::clicked, this, &SyncSettingsDialog::testConnection);
    connect(save_, &QPushButton::clicked, this, &SyncSettingsDialog::save);
    connect(forget_, &QPushButton::clicked, this, &SyncSettingsDialog::forget);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    setMinimumWidth(460);
}

void SyncSettingsDialog::showAccount(const calsync::Account& account) {
    server_->setText(account.server);
    user_->setText(account.user);
    password_->setPlaceholderText(QStringLiteral("（キーリングに保存済み。変えるときだけ入力）"));
    calsync::Calendar calendar;
    calendar.url = QUrl(account.collection);
    calendar.name = account.calendarName;
    calendar.takesTodos = account.takesTodos;
    calendar.syncCollection = account.syncCollection;
    calendars_ = {calendar};
    calendar_->addItem(calendarCaption(calendar));
    const int interval = interval_->findData(account.intervalMinutes);
    if (interval >= 0)
        interval_->setCurrentIndex(interval);
    if (!account.pinnedFingerprint.isEmpty()) {
        refusedFingerprint_ = account.pinnedFingerprint;
        trust_->setText(QStringLiteral("この証明書を信頼する（%1）").arg(account.pinnedFingerprint));
        trust_->setChecked(true);
        trust_->show();
    }
    save_->setEnabled(true);
}

calsync::Account SyncSettingsDialog::typedAccount() const {
    calsync::Account account;
    account.schedule = calsync::scheduleKey(schedulePath_);
    account.server = server_->text().trimmed();
    account.user = user_->text().trimmed();
    account.intervalMinutes = interval_->currentData().toInt();
    if (trust_->isVisible() && trust_->isChecked())
        account.pinnedFingerprint = refusedFingerprint_;
    return account;
}

void SyncSettingsDialog::testConnection() {
    const calsync::Account account = typedAccount();
    const QUrl address = QUrl::fromUserInput(account.server);
    if (account.server.isEmpty() || account.user.isEmpty()) {
        tell(QStringLiteral("サーバーのアドレスとユーザー名を入力してください。"), true);
        emit testFinished(false);
        return;
    }
    test_->setEnabled(false);
    save_->setEnabled(false);
    tell(QStringLiteral("接続しています…"), false);
    QString password = password_->text();
    // The stored password is read here: the keyring answers through this thread's event loop.
    if (password.isEmpty() && stored_) {
        const calsync::PasswordRead read = calsync::readPassword(*stored_);
        if (!read.password) {
            test_->setEnabled(true);
            tell(read.failure, true);
            emit testFinished(false);
            return;
        }
        password = *read.password;
    }
    stopTest_ = std::make_shared<std::atomic_bool>(false);
    auto found = std::make_shared<std::optional<Found>>();
    QThread* worker = QThread::create([account, address, password, found, stop = stopTest_] {
        calsync::HttpOptions options;
        options.user = account.user;
        options.password = password;
        options.pinnedFingerprint = account.pinnedFingerprint;
        options.stop = stop.get();
        options.timeoutMs = 20000;
        calsync::CalDavClient client(options);
        *found = client.discover(address);
    });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    connect(worker, &QThread::finished, this, [this, found, password] {
        test_->setEnabled(true);
        if (*found) {
            testedPassword_ = (*found)->ok() ? password : QString();
            showCalendars(**found);
        }
    });
    worker->start();
}

void SyncSettingsDialog::showCalendars(const Found& found) {
    calendar_->clear();
    calendars_.clear();
    if (!found.ok()) {
        const QString fingerprint = fingerprintIn(found.failure().message);
        if (found.failure().kind == calsync::Failure::Kind::Certificate && !fingerprint.isEmpty()) {
            refusedFingerprint_ = fingerprint;
            trust_->setText(QStringLiteral("この証明書を信頼する（%1）").arg(fingerprint));
            trust_->setChecked(false);
            trust_->show();
        }
        tell(testFailure(found.failure(), fingerprint), true);
        emit testFinished(false);
        return;
    }
    for (const calsync::Calendar& calendar : found.value())
        if (calendar.takesEvents)
            calendars_.push_back(calendar);
    for (const calsync::Calendar& calendar : calendars_)
        calendar_->addItem(calendarCaption(calendar));
    if (calendars_.empty()) {
        tell(QStringLiteral("予定を入れられるカレンダーがこのアドレスにありません。カレンダーのアドレスを確か"
                            "めてください。"),
             true);
        emit testFinished(false);
        return;
    }
    tell(QStringLiteral(
             "接続できました。カレンダーが%1個見つかりました。同期するカレンダーを選んで保存してください。")
             .arg(calendars_.size()),
         false);
    save_->setEnabled(true);
    emit testFinished(true);
}

void SyncSettingsDialog::save() {
    const int index = calendar_->currentIndex();
    if (index < 0 || index >= static_cast<int>(calendars_.size()))
        return;
    calsync::Account account = typedAccount();
    const calsync::Calendar& calendar = calendars_[static_cast<std::size_t>(index)];
    account.collection = calendar.url.toString();
    account.calendarName = calendar.name;
    account.takesTodos = calendar.takesTodos;
    account.syncCollection = calendar.syncCollection;
    // The keyring keeps the password under the user and the calendar: another calendar or user
    // needs it stored anew (the one the test used when none was typed), and the old entry goes.
    const bool sameEntry =
        stored_ && stored_->user == account.user && stored_->collection == account.collection;
    if (!password_->text().isEmpty() || !sameEntry) {
        const QString password = password_->text().isEmpty() ? testedPassword_ : password_->text();
        if (const QString failure = calsync::storePassword(account, password); !failure.isEmpty()) {
            tell(QStringLiteral("パスワードを保存できなかったので、設定は保存していません。\n") + failure,
                 true);
            return;
        }
    }
    if (stored_ && !sameEntry) {
        if (const QString failure = calsync::forgetAccount(*stored_); !failure.isEmpty()) {
            tell(failure, true);
            return;
        }
    }
    if (const QString failure = calsync::saveAccount(account); !failure.isEmpty()) {
        tell(failure, true);
        return;
    }
    emit accountChanged();
    accept();
}

void SyncSettingsDialog::forget() {
    if (!stored_)
        return;
    if (platform::message(QStringLiteral("このスケジュールファイルの同期をやめますか？\r\n"
                                         "サーバーの設定とパスワードを忘れます。予定はそのまま残ります。"),
                          QStringLiteral("同期設定"), platform::Icon::Question,
                          platform::Buttons::YesNo) != platform::Answer::Yes)
        return;
    if (const QString failure = calsync::forgetAccount(*stored_); !failure.isEmpty()) {
        tell(failure, true);
        return;
    }
    emit accountChanged();
    accept();
}

void SyncSettingsDialog::tell(const QString& text, bool failure) {
    status_->setText(text);
    status_->setAccessibleDescription(failure ? QStringLiteral("エラー") : QString());
    // A sentence of several lines needs room: the dialog grows (never shrinks) so that the fields
    // above keep their height instead of being squeezed.
    if (QLayout* box = layout(); box && isVisible()) {
        box->activate();
        const int wanted = box->hasHeightForWidth() ? box->totalHeightForWidth(width()) : sizeHint().height();
        if (height() < wanted)
            resize(width(), wanted);
    }
}

QString SyncSettingsDialog::statusText() const {
    return status_->text();
}

} // namespace syncview

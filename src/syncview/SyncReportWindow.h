#pragma once
// 同期の確認: the conflicts and the server events the file cannot show, listed as plain text in one
// window. Lines from later syncs are added to the open window instead of opening another.

#include <QDialog>
#include <QStringList>

class QPlainTextEdit;

namespace syncview {

class SyncReportWindow : public QDialog {
    Q_OBJECT
  public:
    explicit SyncReportWindow(QWidget* parent = nullptr);

    void addLines(const QStringList& lines);
    QString text() const;

  private:
    QPlainTextEdit* lines_;
};

} // namespace syncview

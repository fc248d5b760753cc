#include "syncview/SyncReportWindow.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace syncview {

SyncReportWindow::SyncReportWindow(QWidget* parent) : QDialog(parent), lines_(new QPlainTextEdit(this)) {
    setObjectName(QStringLiteral("syncReport"));
    setWindowTitle(QStringLiteral("同期の確認"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(
        QStringLiteral("次の予定は自動では片付けられませんでした。どちらの内容も失われていません。"), this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    lines_->setReadOnly(true);
    lines_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    lines_->setAccessibleName(QStringLiteral("同期の確認の内容"));
    layout->addWidget(lines_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    resize(520, 280);
}

void SyncReportWindow::addLines(const QStringList& lines) {
    for (const QString& line : lines)
        lines_->appendPlainText(line);
}

QString SyncReportWindow::text() const {
    return lines_->toPlainText();
}

} // namespace syncview

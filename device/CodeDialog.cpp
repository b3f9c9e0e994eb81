// The access-code dialog.
#include "device/CodeDialog.h"

#include <QHideEvent>

#include "ui_CodeDialog.h"

CodeDialog::CodeDialog(QWidget* parent) : QDialog(parent), ui(new Ui::CodeDialog) {
    ui->setupUi(this);
    connect(ui->pushButton_ok, &QPushButton::clicked, this, &CodeDialog::onOKClick);
    connect(ui->pushButton_cancel, &QPushButton::clicked, this, &CodeDialog::onCancelClick);
    // Return in the field presses OK, the default button.
}

CodeDialog::~CodeDialog() = default;

void CodeDialog::setPrompt(const QString& prompt) { ui->codelabel->setText(prompt); }

QString CodeDialog::prompt() const { return ui->codelabel->text(); }

void CodeDialog::onOKClick() {
    const QString code = ui->lineEdit->text();
    ui->lineEdit->clear();
    close();
    emit sendCode(code);
}

void CodeDialog::onCancelClick() {
    ui->lineEdit->clear();
    close();
}

void CodeDialog::hideEvent(QHideEvent* event) {
    ui->lineEdit->clear();
    QDialog::hideEvent(event);
}

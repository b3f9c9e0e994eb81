// The CSV export options window.
#include "export/SaveDataOptions.h"

#include "display/dialogs_seam.h"
#include "export/save_options.h"
#include "ui_SaveDataOptions.h"

SaveDataOptions::SaveDataOptions(QWidget* parent) : QWidget(parent), ui(new Ui::SaveDataOptions) {
    ui->setupUi(this);
    setWindowModality(Qt::ApplicationModal);
    connect(ui->pushButton_ok, &QPushButton::clicked, this, &SaveDataOptions::onOk_Clicked);
    connect(ui->pushButton_cancel, &QPushButton::clicked, this, &SaveDataOptions::onCancel_Clicked);
}

SaveDataOptions::~SaveDataOptions() = default;

k740::ExportFormat SaveDataOptions::format() const {
    return ui->comboBox_format->currentIndex() == 1 ? k740::ExportFormat::Las : k740::ExportFormat::Csv;
}

void SaveDataOptions::onOk_Clicked() {
    const k740::SaveDataChoice c =
        k740::checkSaveDataOptions(ui->lineEdit_freamCount->text().toStdString(),
                                   ui->lineEdit_AngleMin->text().toStdString(),
                                   ui->lineEdit_AngleMax->text().toStdString());
    const QString frameCountText = QString::fromStdString(c.frameCountText);
    if (frameCountText != ui->lineEdit_freamCount->text()) ui->lineEdit_freamCount->setText(frameCountText);
    if (!c.accepted) {
        k740::Dialogs::warning(nullptr, QString::fromStdString(c.warningTitle),
                               QString::fromStdString(c.warningText), QMessageBox::Ok);
        return;
    }
    // One channel on this single-line sensor; the list travels for the sake of the signal.
    // Closed first, so that the save dialog the answer leads to stands alone.
    close();
    emit sendOptions(true, c.frames, c.angleMin, c.angleMax, QList<int>{0});
}

void SaveDataOptions::onCancel_Clicked() {
    close();
    emit sendOptions(false, 1, 0.0f, 360.0f, QList<int>());
}

// The export options window: frame count, azimuth range and the file's format (CSV or LAS).
// OK checks the fields and sends them; Cancel withdraws the request.
#pragma once

#include <QList>
#include <QWidget>
#include <memory>

#include "export/frame_export_file.h"

namespace Ui {
class SaveDataOptions;
}

class SaveDataOptions : public QWidget {
    Q_OBJECT
public:
    explicit SaveDataOptions(QWidget* parent = nullptr);
    ~SaveDataOptions() override;

    Ui::SaveDataOptions* form() const { return ui.get(); }
    // The format the "File format" list shows.
    k740::ExportFormat format() const;

signals:
    void sendOptions(bool isSave, int freams, float angleMin, float angleMax, QList<int> lines);

public slots:
    void onOk_Clicked();
    void onCancel_Clicked();

private:
    std::unique_ptr<Ui::SaveDataOptions> ui;
};

// The CSV export options window: frame count and azimuth range. OK checks the fields and
// sends them; Cancel withdraws the request.
#pragma once

#include <QList>
#include <QWidget>
#include <memory>

namespace Ui {
class SaveDataOptions;
}

class SaveDataOptions : public QWidget {
    Q_OBJECT
public:
    explicit SaveDataOptions(QWidget* parent = nullptr);
    ~SaveDataOptions() override;

    Ui::SaveDataOptions* form() const { return ui.get(); }

signals:
    void sendOptions(bool isSave, int freams, float angleMin, float angleMax, QList<int> lines);

public slots:
    void onOk_Clicked();
    void onCancel_Clicked();

private:
    std::unique_ptr<Ui::SaveDataOptions> ui;
};

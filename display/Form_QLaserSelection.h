// The channel selection window: the sixteen laser channels with their nominal vertical angles
// for the sensor's degree mode, one check box per row, shortcuts for all/none and every other
// row. OK keeps the ticked rows as the selection; the window has no signals.
#pragma once

#include <QStringList>
#include <QWidget>
#include <array>
#include <memory>

#include "display/channel_selection.h"

namespace Ui {
class Form_QLaserSelection;
}
class QCheckBox;

class Form_QLaserSelection : public QWidget {
    Q_OBJECT
public:
    explicit Form_QLaserSelection(QWidget* parent = nullptr);
    ~Form_QLaserSelection() override;

    Ui::Form_QLaserSelection* form() const { return ui.get(); }
    int degreeMode() const { return m_DegreeMode; }
    // Per row: 1 selected, 0 not, as the last OK left it.
    const std::array<int, k740::kChannelCount>& selected() const { return m_Selected; }
    QCheckBox* rowBox(int row) const { return m_RowBoxes[row]; }

public slots:
    void ReceiveDegreeMode(int ReturnModel);

private slots:
    void onOk_Clicked();
    void onCancel_Clicked();
    void Checkstate();
    void Parity();
    void Checkstate2();

private:
    void setRowChecks(const k740::RowChecks& checks);
    void showTable(const k740::ChannelTable& table);

    std::unique_ptr<Ui::Form_QLaserSelection> ui;
    int m_DegreeMode = 0;
    std::array<int, k740::kChannelCount> m_Selected;
    k740::SelectionToggle m_Toggle;  // shared by both shortcuts
    std::array<QCheckBox*, k740::kChannelCount> m_RowBoxes{};
    QStringList m_HeaderLabels;
};

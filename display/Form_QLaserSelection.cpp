// The channel selection window.
#include "display/Form_QLaserSelection.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QStyle>
#include <algorithm>
#include <QTableWidgetItem>

#include "ui_Form_QLaserSelection.h"

Form_QLaserSelection::Form_QLaserSelection(QWidget* parent)
    : QWidget(parent), ui(new Ui::Form_QLaserSelection) {
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_QuitOnClose, false);
    setFixedSize(471, 502);
    m_Selected.fill(1);

    m_HeaderLabels << QStringLiteral(" ") << QStringLiteral("Vertical Angle")
                   << QStringLiteral("Channel");
    QTableWidget* table = ui->tableWidget_laserselection;
    table->setRowCount(k740::kChannelCount);
    table->setColumnCount(3);
    table->setHorizontalHeaderLabels(m_HeaderLabels);
    table->verticalHeader()->hide();
    for (int row = 0; row < k740::kChannelCount; ++row) {
        auto* box = new QCheckBox(table);
        box->setChecked(true);
        table->setCellWidget(row, 0, box);
        m_RowBoxes[row] = box;
        table->setItem(row, 1, new QTableWidgetItem);
        table->setItem(row, 2, new QTableWidgetItem);
    }
    showTable(*k740::channelTable(0));
    // All sixteen rows show in the fixed window: each row as tall as its text and check box.
    const int rowHeight =
        std::max(fontMetrics().height(), style()->pixelMetric(QStyle::PM_IndicatorHeight)) + 4;
    table->verticalHeader()->setMinimumSectionSize(rowHeight);
    table->verticalHeader()->setDefaultSectionSize(rowHeight);

    connect(ui->checkBox, &QCheckBox::clicked, this, &Form_QLaserSelection::Checkstate);
    connect(ui->pushButton_toggleselection, &QPushButton::clicked, this,
            &Form_QLaserSelection::Parity);
    connect(ui->checkBox_2, &QCheckBox::clicked, this, &Form_QLaserSelection::Checkstate2);
    connect(ui->pushButton_OK, &QPushButton::clicked, this, &Form_QLaserSelection::onOk_Clicked);
    connect(ui->pushButton_Cancel, &QPushButton::clicked, this,
            &Form_QLaserSelection::onCancel_Clicked);
}

Form_QLaserSelection::~Form_QLaserSelection() = default;

void Form_QLaserSelection::showTable(const k740::ChannelTable& rows) {
    QTableWidget* table = ui->tableWidget_laserselection;
    for (int row = 0; row < k740::kChannelCount; ++row) {
        table->item(row, 1)->setText(rows[row].angle);
        table->item(row, 2)->setText(rows[row].channel);
    }
}

void Form_QLaserSelection::setRowChecks(const k740::RowChecks& checks) {
    for (int row = 0; row < k740::kChannelCount; ++row) m_RowBoxes[row]->setChecked(checks[row]);
}

void Form_QLaserSelection::ReceiveDegreeMode(int ReturnModel) {
    m_DegreeMode = ReturnModel;
    if (const auto table = k740::channelTable(ReturnModel)) showTable(*table);
}

void Form_QLaserSelection::onOk_Clicked() {
    for (int row = 0; row < k740::kChannelCount; ++row)
        m_Selected[row] = m_RowBoxes[row]->isChecked() ? 1 : 0;
}

void Form_QLaserSelection::onCancel_Clicked() { close(); }

void Form_QLaserSelection::Checkstate() { setRowChecks(m_Toggle.allOrNone()); }

void Form_QLaserSelection::Parity() { setRowChecks(m_Toggle.alternate()); }

void Form_QLaserSelection::Checkstate2() {
    if (!ui->checkBox_2->isChecked()) return;
    for (QCheckBox* box : m_RowBoxes)
        if (box->isChecked()) box->setChecked(true);
}

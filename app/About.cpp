// The About window.
#include "app/About.h"

#include "ui_About.h"

About::About(QWidget* parent) : QWidget(parent), ui(new Ui::About) {
    ui->setupUi(this);
    ui->label_Software->setText(QString::fromUtf8(k740::kAboutProductLine));
    // Rows 3-7 are filled but never shown.
    for (int row = k740::kAboutFirstHiddenRow; row < 8; ++row) {
        findChild<QLabel*>(QStringLiteral("label_Hardware_%1").arg(row))->hide();
        hardwareValue(row)->hide();
    }
}

About::~About() = default;

QLabel* About::hardwareValue(int row) const {
    return findChild<QLabel*>(QStringLiteral("label_HardwareValue_%1").arg(row));
}

void About::apply(const k740::AboutTexts& texts) {
    if (texts.software) ui->label_SoftwareBoard3Value->setText(*texts.software);
    for (int row = 0; row < 8; ++row)
        if (texts.hardware[row]) hardwareValue(row)->setText(*texts.hardware[row]);
}

void About::sSetVersion(QStringList Versions) {
    m_Versions = Versions;
    apply(k740::aboutTextsForVersions(m_Versions));
}

void About::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    apply(k740::aboutTextsOnShow(m_Versions, m_DataReceived));
}

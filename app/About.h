// The About window: the product line and the firmware versions the sensor reported, fed by
// the settings window's version list.
#pragma once

#include <QStringList>
#include <QWidget>
#include <memory>

#include "device/about_texts.h"

namespace Ui {
class About;
}
class QLabel;

class About : public QWidget {
    Q_OBJECT
public:
    explicit About(QWidget* parent = nullptr);
    ~About() override;

    Ui::About* form() const { return ui.get(); }
    // Set once a frame has been drawn; never cleared.
    void setDataReceived() { m_DataReceived = true; }
    bool dataReceived() const { return m_DataReceived; }
    const QStringList& versions() const { return m_Versions; }

public slots:
    void sSetVersion(QStringList Versions);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void apply(const k740::AboutTexts& texts);
    QLabel* hardwareValue(int row) const;

    std::unique_ptr<Ui::About> ui;
    QStringList m_Versions;
    bool m_DataReceived = false;
};

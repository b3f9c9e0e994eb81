// The access-code dialog: a masked field whose text goes to the owner through sendCode when
// OK is pressed. It judges nothing itself, and every close leaves the field empty.
#pragma once

#include <QDialog>
#include <QString>
#include <memory>

namespace Ui {
class CodeDialog;
}

class CodeDialog : public QDialog {
    Q_OBJECT
public:
    explicit CodeDialog(QWidget* parent = nullptr);
    ~CodeDialog() override;

    // The owner's prompt in place of "Code：" (plain or rich text).
    void setPrompt(const QString& prompt);
    QString prompt() const;

    Ui::CodeDialog* form() const { return ui.get(); }

signals:
    void sendCode(QString code);

public slots:
    void onOKClick();
    void onCancelClick();

protected:
    // Escape, the window's close button and both buttons all end here: the field is emptied.
    void hideEvent(QHideEvent* event) override;

private:
    std::unique_ptr<Ui::CodeDialog> ui;
};

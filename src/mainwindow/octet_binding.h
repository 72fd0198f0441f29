// One octet box of the main window as its shared change handler sees it.
#pragma once

#include "octet_field.h"
#include "section_rules.h"

#include <QLineEdit>

class OctetBinding final : public OctetBox {
public:
    OctetBinding(WindowSections &window, QLineEdit *edit, QLineEdit *next, OctetBoxKind kind)
        : window_(window), edit_(edit), next_(next), kind_(kind)
    {
    }

    [[nodiscard]] const OctetBoxKind &Kind() const { return kind_; }

    std::string Text() const override { return edit_->text().toStdString(); }
    void SetText(const std::string &text) override { edit_->setText(QString::fromStdString(text)); }
    void SetSelStart(int position) override { edit_->setCursorPosition(position); }
    void SetFocusNext() override
    {
        // A box that cannot take the focus is skipped without a word.
        if (next_ && next_->isEnabled() && next_->isVisible())
            next_->setFocus(Qt::OtherFocusReason);
    }
    void CheckIfButtonEnabled() override { window_.CheckIfButtonEnabled(); }

private:
    WindowSections &window_;
    QLineEdit *edit_;
    QLineEdit *next_;
    OctetBoxKind kind_;
};

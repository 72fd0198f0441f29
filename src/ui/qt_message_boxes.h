// The real message boxes: modal, titled "tovrik", no icon, plain text.
#pragma once

#include "message_boxes.h"

class QtMessageBoxes final : public MessageBoxes {
protected:
    void ShowReport(const std::string &text, const std::string &detail) override;
    bool ShowQuestion(const std::string &text) override;
};

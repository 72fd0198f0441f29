// The real message boxes: modal, titled "tovrik", no icon.
#pragma once

#include "message_boxes.h"

class QtMessageBoxes final : public MessageBoxes {
public:
    void Report(const std::string &text) override;
    bool Ask(const std::string &text) override;
};

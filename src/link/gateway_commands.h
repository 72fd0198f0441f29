// Writes the card's command lines through the board link.
#pragma once

#include "command_lines.h"

#include <string>
#include <vector>

class BoardLink;

// Writes command lines to the card. Every line of the tool goes out here.
class GatewayCommands {
public:
    explicit GatewayCommands(BoardLink &link) : link_(link) {}

    // Writes the lines in order when the port is open, nothing when it is
    // closed, and stops at the first line that fails, so that "%CE" never
    // tells the card to apply a configuration with a line cut short. False
    // when a write failed.
    bool SendLines(const std::vector<std::string> &lines);

private:
    BoardLink &link_;
};

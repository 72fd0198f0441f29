#include "gateway_commands.h"

#include "board_link.h"

bool GatewayCommands::SendLines(const std::vector<std::string> &lines)
{
    link_.NoticeLostLine();
    if (!link_.IsPortOpen())
        return true;
    for (const auto &line : lines) {
        if (!link_.SendToGateway(line))
            return false;
    }
    return true;
}

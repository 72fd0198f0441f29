#include "send_run.h"

#include "board_link.h"
#include "gateway_commands.h"

bool SendRun::Begin(const std::vector<std::string> &lines)
{
    writeFailed_ = !commands_.SendLines(lines);
    return !writeFailed_;
}

bool SendRun::Sending() { return link_.IsSending(); }

SendEnd SendRun::End()
{
    if (writeFailed_)
        return SendEnd::WriteFailed;
    return link_.LostData() ? SendEnd::LineLost : SendEnd::Sent;
}

#include "card_watch.h"

#include "board_link.h"

CardReport CardWatch::Tick()
{
    link_.NoticeLostLine();
    if (awaited_ == 0) {
        if (link_.IsPortOpen() || !link_.IsAwaitingCard())
            return {};
        // A send in progress ends with the line; it is never resumed by itself.
        awaited_ = link_.GetComPort();
        return {CardEvent::Lost, awaited_};
    }
    if (link_.IsAwaitingCard() && !link_.TryReopen())
        return {};
    // Back, or the technician chose a port in the dialog meanwhile, which
    // ended the wait whether it opened or not.
    const int port = awaited_;
    awaited_ = 0;
    const bool back = link_.GetComPort() == port && link_.IsPortOpen();
    return {back ? CardEvent::Back : CardEvent::Abandoned, port};
}

// Watches over the card on the selected port, once a tick: notices that it
// went away, and opens its port again when the same card is back.
#pragma once

class BoardLink;

enum class CardEvent {
    None,      // nothing changed
    Lost,      // the card went away; it is awaited on `port`
    Back,      // the awaited card is open again on `port`
    Abandoned, // another port was chosen while `port` was awaited
};

struct CardReport {
    CardEvent event = CardEvent::None;
    int port = 0;
};

class CardWatch {
public:
    explicit CardWatch(BoardLink &link) : link_(link) {}

    // Once a tick, never while a handler waits in a box: it may change the port.
    [[nodiscard]] CardReport Tick();

private:
    BoardLink &link_;
    int awaited_ = 0; // 0 when no card is awaited
};

// Whether every address the answers call for is filled in, so that Configure
// may be pressed. The port's state is the caller's to add.
#pragma once

#include "answers.h"

#include <vector>

// Standard IP without a DHCP server needs the card's own addresses.
[[nodiscard]] bool StaticAddressFilled(const Answers &a);
// Asked for by "more than one NBX" or a remote NBX: the NBX's MAC address,
// and its IP address too unless the NBX is local under Ethernet.
[[nodiscard]] bool NBXAddressFilled(const Answers &a);
// A remote NBX, under any protocol but Ethernet, needs both NBX addresses,
// and the card's own addresses without a DHCP server.
[[nodiscard]] bool RemoteNBXComplete(const Answers &a);

[[nodiscard]] bool RequiredEntriesFilled(const Answers &a);

// The rows that readiness waits for: each is missing when readiness would
// still fail with every other row filled.
[[nodiscard]] std::vector<Row> MissingRows(const Answers &a);

#include "readiness.h"

#include <algorithm>

namespace {

template <std::size_t N>
bool Filled(const std::array<std::string, N> &boxes)
{
    return std::none_of(boxes.begin(), boxes.end(), [](const std::string &t) { return t.empty(); });
}

bool CardAddressesFilled(const Answers &a) { return Filled(a.ip) && Filled(a.subnet) && Filled(a.gateway); }

} // namespace

bool StaticAddressFilled(const Answers &a)
{
    return a.protocol != Protocol::StandardIP || a.dhcpServer || CardAddressesFilled(a);
}

bool NBXAddressFilled(const Answers &a)
{
    if (!a.moreThanOneNbx && !a.remoteNbx)
        return true;
    if (!a.remoteNbx && a.protocol == Protocol::Ethernet)
        return Filled(a.mac);
    return Filled(a.nbxIp) && Filled(a.mac);
}

bool RemoteNBXComplete(const Answers &a)
{
    if (a.protocol == Protocol::Ethernet || !a.remoteNbx)
        return true;
    if (!Filled(a.nbxIp) || !Filled(a.mac))
        return false;
    return a.dhcpServer || CardAddressesFilled(a);
}

bool RequiredEntriesFilled(const Answers &a)
{
    return StaticAddressFilled(a) && NBXAddressFilled(a) && RemoteNBXComplete(a);
}

std::vector<Row> MissingRows(const Answers &a)
{
    if (RequiredEntriesFilled(a))
        return {};
    std::vector<Row> missing;
    for (const RowShape &shape : kRows) {
        Answers othersFilled = a;
        for (const RowShape &other : kRows) {
            if (other.row == shape.row)
                continue;
            for (std::string &text : TextsOf(othersFilled, other.row))
                if (text.empty())
                    text.push_back('0'); // any digit fills it
        }
        if (!RequiredEntriesFilled(othersFilled))
            missing.push_back(shape.row);
    }
    return missing;
}

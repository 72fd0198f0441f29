// The configurations that the end-to-end tests send to the virtual card,
// from the window and from tovrik-cli alike: each as a site profile states
// it, and as the card stores it afterwards.
#pragma once

#include "configuration.h"
#include "profile_answers.h"
#include "profile_reader.h"

#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

struct CardConfiguration {
    const char *name;
    // Profile keys and values, in the order the window asks its questions.
    std::vector<std::pair<std::string, std::string>> settings;
    // JSON: the settings that are set; every other one must be null.
    const char *stored;

    [[nodiscard]] std::string Profile() const
    {
        std::string text = "[defaults]\n";
        for (const auto &[key, value] : settings)
            text += key + " = " + value + "\n";
        return text;
    }

    // The bytes tovrik-cli sends for this row: the profile read and filled
    // in as it reads and fills it, and the lines it makes of the answers.
    [[nodiscard]] std::string Bytes() const
    {
        std::istringstream in(Profile());
        const auto filled = profile::FillAnswers(profile::ReadProfile(in, name, {}).settings);
        std::string bytes;
        for (const auto &line : ConfigurationLines(filled.answers))
            bytes += line;
        return bytes;
    }
};

inline void PrintTo(const CardConfiguration &row, std::ostream *os) { *os << row.name; }

// One row or more per protocol part that Configure can send.
inline const std::vector<CardConfiguration> &CardConfigurations()
{
    static const std::vector<CardConfiguration> rows = {
        {"Standard IP, DHCP yes, several NBXs, United Kingdom, audio boxes changed",
         {{"protocol", "standard"}, {"dhcp", "yes"}, {"several_nbx", "yes"}, {"nbx_ip", "192.168.1.20"},
          {"nbx_mac", "00:e0:bb:12:34:56"}, {"country", "United Kingdom"}, {"remember_audio", "no"},
          {"boost_audio", "yes"}},
         R"({"remote": false, "dhcp": true, "nbx_ip": "192.168.1.20", "nbx_mac": "00:e0:bb:12:34:56",
             "country": 2, "remember_audio": false, "boost_audio": true})"},
        {"Standard IP, DHCP no",
         {{"protocol", "standard"}, {"ip", "10.0.0.5"}, {"subnet", "255.255.255.0"}, {"gateway", "10.0.0.1"}},
         R"({"remote": false, "dhcp": false, "ip": "10.0.0.5", "subnet": "255.255.255.0", "gateway": "10.0.0.1",
             "remember_audio": true, "boost_audio": false})"},
        {"IP On the Fly, remote NBX, DHCP yes, United States",
         {{"protocol", "onthefly"}, {"remote_nbx", "yes"}, {"dhcp", "yes"}, {"nbx_ip", "172.16.0.9"},
          {"nbx_mac", "00:e0:bb:0a:0b:0c"}, {"country", "United States"}},
         R"({"remote": true, "dhcp": true, "on_the_fly": true, "nbx_ip": "172.16.0.9",
             "nbx_mac": "00:e0:bb:0a:0b:0c", "country": 1, "remember_audio": true, "boost_audio": false})"},
        // Single-digit MAC octets reach the card as typed.
        {"IP On the Fly, remote NBX, DHCP no",
         {{"protocol", "onthefly"}, {"remote_nbx", "yes"}, {"ip", "192.168.10.20"}, {"subnet", "255.255.0.0"},
          {"gateway", "192.168.10.1"}, {"nbx_ip", "10.20.30.40"}, {"nbx_mac", "1:2:3:a:b:c"},
          {"boost_audio", "yes"}},
         R"({"remote": true, "dhcp": false, "ip": "192.168.10.20", "subnet": "255.255.0.0",
             "gateway": "192.168.10.1", "on_the_fly": true, "nbx_ip": "10.20.30.40", "nbx_mac": "1:2:3:a:b:c",
             "remember_audio": true, "boost_audio": true})"},
        {"IP On the Fly, local NBX (the shortest sequence)",
         {{"protocol", "onthefly"}},
         R"({"remote": false, "on_the_fly": true, "remember_audio": true, "boost_audio": false})"},
        {"IP On the Fly, local NBX, several NBXs",
         {{"protocol", "onthefly"}, {"several_nbx", "yes"}, {"nbx_ip", "10.1.1.1"},
          {"nbx_mac", "aa:bb:cc:dd:ee:ff"}, {"remember_audio", "no"}},
         R"({"remote": false, "on_the_fly": true, "nbx_ip": "10.1.1.1", "nbx_mac": "aa:bb:cc:dd:ee:ff",
             "remember_audio": false, "boost_audio": false})"},
        {"Ethernet",
         {{"protocol", "ethernet"}},
         R"({"remote": false, "dhcp": false, "on_the_fly": false, "remember_audio": true, "boost_audio": false})"},
        // Under Ethernet only the MAC row is open; the NBX address goes out as 0.0.0.0.
        {"Ethernet, several NBXs, United Kingdom",
         {{"protocol", "ethernet"}, {"several_nbx", "yes"}, {"nbx_mac", "00:e0:bb:99:88:77"},
          {"country", "United Kingdom"}},
         R"({"remote": false, "dhcp": false, "on_the_fly": false, "nbx_ip": "0.0.0.0",
             "nbx_mac": "00:e0:bb:99:88:77", "country": 2, "remember_audio": true, "boost_audio": false})"},
    };
    return rows;
}

// The README's walk-through: Standard IP with the card's own addresses
// 10.0.0.5, 255.255.255.0 and 10.0.0.1.
inline const CardConfiguration &WalkThrough() { return CardConfigurations()[1]; }

} // namespace testsupport

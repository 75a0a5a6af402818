#include "bridge/roku/SsdpAnswer.hpp"

#include <gtest/gtest.h>

namespace orvel {
namespace {

TEST(SsdpAnswer, RokuAnswersGiveTheirLocationAndOthersNothing) {
    const std::string roku = "HTTP/1.1 200 OK\r\nST: roku:ecp\r\n";
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
        // As a Roku sends it.
        {"HTTP/1.1 200 OK\r\nCache-Control: max-age=3600\r\nST: roku:ecp\r\n"
         "USN: uuid:roku:ecp:X01900ABCDEF\r\nExt: \r\nServer: Roku/12.5.0 UPnP/1.0 Roku/12.5.0\r\n"
         "LOCATION: http://192.168.1.134:8060/\r\ndevice-group.roku.com: 0A1B2C3D\r\n\r\n",
         "192.168.1.134:8060"},
        {"HTTP/1.1 200 OK\nst: roku:ecp\nlocation: http://10.0.0.5:8060\n", "10.0.0.5:8060"},
        {"HTTP/1.1 200 OK\r\nLocation:HTTP://10.0.0.5/desc.xml\r\nNt: roku:ecp\r\n\r\n",
         "10.0.0.5:80"},
        {roku + "LOCATION: http://[fe80::1]:8060/\r\n\r\n", "[fe80::1]:8060"},
        // Not a Roku, not an answer, or no place to reach it.
        {"HTTP/1.1 200 OK\r\nST: upnp:rootdevice\r\nLOCATION: http://10.0.0.9:1400/\r\n\r\n",
         std::nullopt},
        {"HTTP/1.1 404 Not Found\r\nST: roku:ecp\r\nLOCATION: http://10.0.0.5:8060/\r\n\r\n",
         std::nullopt},
        {"M-SEARCH * HTTP/1.1\r\nST: roku:ecp\r\nLOCATION: http://10.0.0.5:8060/\r\n\r\n",
         std::nullopt},
        {roku + "\r\n", std::nullopt},
        {roku + "LOCATION: http://roku.local:8060/\r\n\r\n", std::nullopt},
        {roku + "LOCATION: http://10.0.0.5:70000/\r\n\r\n", std::nullopt},
        {roku + "LOCATION: ftp://10.0.0.5:8060/\r\n\r\n", std::nullopt},
        {"HTTP/1.1 200 OK\r\n\r\nST: roku:ecp\r\nLOCATION: http://10.0.0.5:8060/\r\n",
         std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [datagram, location] : cases) {
        EXPECT_EQ(readSsdpRokuLocation(datagram), location) << datagram;
    }
}

}  // namespace
}  // namespace orvel

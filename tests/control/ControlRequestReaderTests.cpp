#include "control/ControlRequestReader.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace orvel {
namespace {

using nlohmann::json;

// Feeds the pieces as separate reads, stopping as a server does once nothing more is wanted.
std::optional<json> read(const std::vector<std::string>& pieces, std::size_t limit,
                         std::size_t& fed) {
    ControlRequestReader reader(limit);
    fed = 0;
    for (const std::string& piece : pieces) {
        const std::size_t room = reader.wanted();
        if (room == 0) break;
        const std::string taken = piece.substr(0, room);
        fed += taken.size();
        reader.append(taken);
    }
    return reader.request();
}

TEST(ControlRequestReader, TakesTheFirstLineWithinTheLimit) {
    const struct {
        std::vector<std::string> pieces;
        std::size_t limit;
        std::optional<json> request;
        std::size_t fed;  // bytes taken from the client before it stopped reading
    } cases[] = {
        {{"{\"a\":1}\n"}, 8, json{{"a", 1}}, 8},                       // exactly the limit
        {{"{\"a\":12}\n"}, 8, std::nullopt, 9},                        // one byte more
        {{"{\"a\":1}"}, 7, json{{"a", 1}}, 7},                         // no line feed, ended
        {{"{\"a\":", "1}", "\n{\"b\":2}\n"}, 64, json{{"a", 1}}, 16},  // feed in a later read
        {{"{}\n", "more"}, 64, json::object(), 3},                     // stops at the feed
        {{"{\"a\":1", "23456789"}, 8, std::nullopt, 9},                // never reads past limit + 1
        {{""}, 8, std::nullopt, 0},                                    // nothing at all
        {{"[]\n"}, 8, std::nullopt, 3},
    };
    for (const auto& c : cases) {
        std::size_t fed = 0;
        EXPECT_EQ(read(c.pieces, c.limit, fed), c.request) << c.pieces.front();
        EXPECT_EQ(fed, c.fed) << c.pieces.front();
    }
}

TEST(ControlRequestReader, AsksForAtMostOneChunk) {
    ControlRequestReader reader;
    EXPECT_EQ(reader.wanted(), ControlRequestReader::kChunkBytes);
    reader.append(std::string(65535, ' '));
    EXPECT_EQ(reader.wanted(), 2u);  // enough to tell "exactly the limit" from "too long"
}

}  // namespace
}  // namespace orvel

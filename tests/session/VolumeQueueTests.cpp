// The volume queue as its sender drives it: after every change it takes what may be sent, and
// each answer goes back to the oldest request on its way.

#include "session/VolumeQueue.hpp"

#include <climits>
#include <deque>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace orvel {
namespace {

// `script` is words: "s3" adds three steps ("smax", "smin" the extremes), "l30" asks for 30,
// "y" and "n" accept or refuse the oldest request on its way, "all" accepts until none is,
// "clear" clears, and a suffix "*5" repeats a word. Returns what went out: "+", "-" or a level.
std::string run(const std::string& script) {
    VolumeQueue queue;
    std::string sent;
    std::deque<bool> onTheirWay;  // true: a level
    auto drain = [&] {
        if (auto step = queue.nextStep()) {
            sent += *step > 0 ? "+" : "-";
            onTheirWay.push_back(false);
        }
        if (auto level = queue.nextLevel()) {
            sent += std::to_string(static_cast<int>(*level));
            onTheirWay.push_back(true);
        }
    };
    auto answer = [&](bool accepted) {
        if (onTheirWay.empty()) return false;
        const bool level = onTheirWay.front();
        onTheirWay.pop_front();
        level ? queue.levelAnswered(accepted) : queue.stepAnswered(accepted);
        drain();
        return true;
    };
    std::istringstream words(script);
    for (std::string word; words >> word;) {
        int repeat = 1;
        if (auto x = word.find('*'); x != std::string::npos) {
            repeat = std::stoi(word.substr(x + 1));
            word.resize(x);
        }
        for (int i = 0; i < repeat; ++i) {
            const std::string rest = word.substr(1);
            if (word == "all") {
                while (answer(true)) {
                }
            } else if (word == "clear") {
                queue.clear();
                onTheirWay.clear();
            } else if (word == "y" || word == "n") {
                answer(word == "y");
            } else if (word[0] == 's') {
                queue.addSteps(rest == "max" ? INT_MAX : rest == "min" ? INT_MIN : std::stoi(rest));
            } else if (word[0] == 'l') {
                queue.requestLevel(std::stod(rest));
            }
            drain();
        }
    }
    return sent;
}

TEST(VolumeQueue, SendsOneOfEachKindAtATimeAndDropsWhatIsCancelled) {
    const std::string twentyOneUp(21, '+');
    const struct {
        const char* name;
        const char* script;
        std::string sent;
    } table[] = {
        {"steps go one at a time", "s1*10 all", std::string(10, '+')},
        {"at most twenty wait behind the one on its way", "s1*30 all", twentyOneUp},
        {"no count overflows before the clamp", "smax smax all", twentyOneUp},
        {"nor any count down", "s-5 smin all", std::string(21, '-')},
        {"a step the other way cancels a waiting one", "s3 s-3 all", "+-"},
        {"a refused step drops the steps still waiting", "s-5 n s1", "-+"},
        {"only the latest level of a burst", "l30 l35 l40 all", "3040"},
        {"a refused level drops the one waiting", "l30 l35 n l50", "3050"},
        {"steps drop a waiting level and go beside the one on its way", "l20 l25 s2 all", "20++"},
        {"a level drops the waiting steps", "s5 l50 all", "+50"},
        {"clearing forgets what is on its way", "s3 l10 clear s-1 l9", "+10-9"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(run(row.script), row.sent);
    }
}

TEST(VolumeQueue, ALevelIsOnItsWayUntilAnswered) {
    VolumeQueue queue;
    queue.requestLevel(30);
    EXPECT_FALSE(queue.levelOnItsWay()) << "asked for, not yet taken";
    ASSERT_EQ(queue.nextLevel(), 30);
    EXPECT_TRUE(queue.levelOnItsWay());
    queue.levelAnswered(true);
    EXPECT_FALSE(queue.levelOnItsWay());
}

}  // namespace
}  // namespace orvel

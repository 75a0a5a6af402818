// The remote's controls: enabled by what the TV can, each calling its one session operation,
// and the owner told when the content's height changes.

#include "shell/RemoteView.hpp"

#include <QImage>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

#include "ShellSessionHarness.hpp"
#include "shell/ImageFiles.hpp"
#include "shell/RemoteButton.hpp"
#include "shell/RemoteTextEntry.hpp"

namespace orvel::test {
namespace {

using nlohmann::json;

QStringList titlesOf(const QMenu& menu) {
    QStringList titles;
    for (auto* action : menu.actions()) {
        if (!action->isSeparator()) titles << action->text();
    }
    return titles;
}

struct RemoteViewTest : SessionTest {
    RemoteViewTest()
        : SessionTest(
              {{"pairedDevices", savedList({kBedroom, kKitchen})}, {"lastDevice", kBedroom.id}}) {
        store.start();
        h.connect(kBedroom);
        bridge.emit(stateWith({"up", "down", "left", "right", "select", "back", "home", "text",
                               "volumeUp", "sleep"}));
        idle();
        view = std::make_unique<RemoteView>(
            store, RemoteView::Actions{.showSettings = [this] { ++settingsShown; },
                                       .resize = [this] { ++resized; },
                                       .appIcon =
                                           [this](const std::string& url, auto done) {
                                               iconAsks.emplace_back(url, std::move(done));
                                           }});
        view->show();
    }
    RemoteButton* button(const QString& help, const QWidget* on = nullptr) const {
        for (auto* candidate : (on ? on : view.get())->findChildren<RemoteButton*>()) {
            if (candidate->accessibleName() == help) return candidate;
        }
        ADD_FAILURE() << "no button " << help.toStdString();
        return nullptr;
    }

    int settingsShown = 0;
    int resized = 0;
    std::vector<std::pair<std::string, std::function<void(const std::string&)>>> iconAsks;
    std::unique_ptr<RemoteView> view;
};

TEST_F(RemoteViewTest, ControlsAreEnabledByWhatTheTVCanAndFollowIt) {
    for (const char* help : {"Up", "OK", "Home", "Volume up", "Type on Roku", "Sleep Roku",
                             "Orvel Settings…", "Show navigation"}) {
        EXPECT_TRUE(button(help)->isEnabled()) << help;
    }
    for (const char* help :
         {"Volume down", "Mute / unmute", "Play", "Next item", "Open an app on Roku"}) {
        EXPECT_FALSE(button(help)->isEnabled()) << help;
    }
    bridge.emit(stateWith({"volumeDown", "playPause", "launchApp"}));
    idle();
    for (const char* help : {"Volume down", "Play", "Open an app on Roku"}) {
        EXPECT_TRUE(button(help)->isEnabled()) << help;
    }
    EXPECT_FALSE(button("Up")->isEnabled());
    EXPECT_FALSE(button("Type on Roku")->isEnabled());
}

TEST_F(RemoteViewTest, NavigationRowShowsThePadWhoseButtonsSendTheirActions) {
    EXPECT_TRUE(button("Up")->isHidden() || !button("Up")->isVisibleTo(view.get()));
    button("Show navigation")->click();
    idle();
    EXPECT_TRUE(store.state().navigationExpanded);
    EXPECT_TRUE(button("Up")->isVisibleTo(view.get()));
    EXPECT_EQ(resized, 1);

    for (const char* help : {"Up", "Down", "Left", "Right", "OK", "Back", "Home"}) {
        QTest::mouseClick(button(help), Qt::LeftButton);
        idle();
        ASSERT_TRUE(bridge.reply("command"));
        idle();
    }
    EXPECT_EQ(bridge.actions(),
              (std::vector<std::string>{"up", "down", "left", "right", "select", "back", "home"}));
    button("Hide navigation")->click();
    idle();
    EXPECT_FALSE(button("Up")->isVisibleTo(view.get()));
    EXPECT_EQ(resized, 2);
}

TEST_F(RemoteViewTest, TextRowGivesWayToTheFieldOnFocusTextAndTheTypedTextSurvives) {
    EXPECT_EQ(view->textEntry(), nullptr);
    button("Type on Roku")->click();
    idle();
    ASSERT_NE(view->textEntry(), nullptr);
    EXPECT_TRUE(view->textEntry()->isVisibleTo(view.get()));
    EXPECT_FALSE(button("Type on Roku")->isVisibleTo(view.get()));  // the row's own place
    EXPECT_EQ(view->textEntry()->accessibleName(), "Type on Roku");
    EXPECT_EQ(resized, 0);  // same height: the field takes the row's place
    QTest::keyClicks(view->textEntry(), "abc");

    store.hideTextEntry();
    idle();
    EXPECT_EQ(view->textEntry(), nullptr);
    EXPECT_FALSE(view->editingText());
    store.focusText();
    idle();
    ASSERT_NE(view->textEntry(), nullptr);
    EXPECT_EQ(view->textEntry()->text(), "abc");
}

TEST_F(RemoteViewTest, PowerMenuOffersWakeAndSleepAsTheTVCan) {
    RemoteButton* power = button("Sleep Roku");
    power->customContextMenuRequested(QPoint(2, 2));
    auto* menu = view->findChild<QMenu*>("powerMenu");
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions()[0]->text(), "Wake Roku");
    EXPECT_FALSE(menu->actions()[0]->isEnabled());
    EXPECT_TRUE(menu->actions()[1]->isEnabled());
    menu->actions()[1]->trigger();
    menu->close();
    idle();
    EXPECT_EQ(bridge.actions(), std::vector<std::string>{"sleep"});
}

TEST_F(RemoteViewTest, PickerListsTheSavedTVsThenPairNew) {
    auto* menu = view->findChild<QMenu*>("pickerMenu");
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(titlesOf(*menu), (QStringList{"Bedroom TV", "Kitchen", "Pair New…"}));

    const auto scans = bridge.count("scan");
    menu->actions().last()->trigger();
    idle();
    EXPECT_EQ(store.state().settingsTab, "tvs");
    EXPECT_EQ(settingsShown, 1);
    EXPECT_EQ(bridge.count("scan"), scans + 1);

    button("Orvel Settings…")->click();
    idle();
    EXPECT_EQ(store.state().settingsTab, "general");
    EXPECT_EQ(settingsShown, 2);
}

TEST_F(RemoteViewTest, OpenAppListsTheTVsAppsWithIconsAndLaunchesTheOneChosen) {
    auto state = stateWith({"launchApp"});
    state["app_id"] = "837";
    state["address"] = "127.0.0.1:8060";
    bridge.emit(state);
    idle();
    button("Open an app on Roku")->click();
    idle();
    auto* menu = view->findChild<QMenu*>("appsMenu");
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(titlesOf(*menu), QStringList{"Loading apps…"});

    ASSERT_TRUE(
        bridge.reply("apps", {{"apps", json::array({{{"id", "12"}, {"name", "Stream"}},
                                                    {{"id", "a b"}, {"name", "Tube"}},
                                                    {{"id", "837"}, {"name", "Front"}}})}}));
    idle();
    EXPECT_EQ(titlesOf(*menu), (QStringList{"Stream", "Tube", "Front"}));
    EXPECT_TRUE(menu->actions()[2]->isChecked());
    ASSERT_EQ(iconAsks.size(), 3u);
    EXPECT_EQ(iconAsks[1].first, "http://127.0.0.1:8060/query/icon/a%20b");
    QImage red(8, 8, QImage::Format_ARGB32);
    red.fill(Qt::red);
    iconAsks[0].second(ImageFiles::png(red)->toStdString());
    iconAsks[1].second("<html>not an image</html>");
    EXPECT_FALSE(menu->actions()[0]->icon().isNull());
    EXPECT_TRUE(menu->actions()[1]->icon().isNull());

    menu->actions()[1]->trigger();
    menu->close();
    idle();
    EXPECT_EQ(bridge.sent("command"),
              (std::vector<json>{{{"action", "launchApp"}, {"app", "a b"}}}));

    // A second opening shows the known list with its icons, not asked for again.
    button("Open an app on Roku")->click();
    idle();
    EXPECT_FALSE(menu->actions()[0]->icon().isNull());
    EXPECT_EQ(iconAsks.size(), 3u);
    menu->close();
}

TEST_F(RemoteViewTest, TheOwnersAppListsOutliveEachViewAndAViewGoneWhileAskingAsksNoLonger) {
    bridge.emit(stateWith({"launchApp"}));
    idle();
    RemoteView::AppLists lists;
    const auto viewOn = [&] {
        auto made = std::make_unique<RemoteView>(
            store, RemoteView::Actions{.showSettings = {}, .resize = {}, .knownApps = &lists});
        made->show();
        return made;
    };
    const auto openApps = [&](const RemoteView& on) {
        button("Open an app on Roku", &on)->click();
        idle();
        return on.findChild<QMenu*>("appsMenu");
    };
    const json stream = {{"apps", json::array({{{"id", "12"}, {"name", "Stream"}}})}};
    view.reset();
    openApps(*viewOn())->close();  // the view goes before the answer
    auto second = viewOn();
    QMenu* menu = openApps(*second);
    EXPECT_EQ(bridge.count("apps"), 2u) << "the next view asks again";
    ASSERT_TRUE(bridge.reply("apps", stream));
    ASSERT_TRUE(bridge.reply("apps", stream));
    idle();
    EXPECT_EQ(titlesOf(*menu), QStringList{"Stream"});
    menu->close();
    second.reset();

    auto third = viewOn();
    menu = openApps(*third);
    EXPECT_EQ(titlesOf(*menu), QStringList{"Stream"}) << "a new showing lists at once";
    // A TV whose list went empty: the open menu says so, not that it is still loading.
    ASSERT_TRUE(bridge.reply("apps", {{"apps", json::array()}}));
    idle();
    EXPECT_EQ(titlesOf(*menu), QStringList{"This TV didn't list any apps."});
    menu->close();
    menu = openApps(*third);
    EXPECT_EQ(titlesOf(*menu), QStringList{"Loading apps…"});
    menu->close();
}

}  // namespace
}  // namespace orvel::test

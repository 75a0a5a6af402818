// Return sends the field's text once; what is typed meanwhile stays; failures leave a sentence.

#include "shell/RemoteTextEntry.hpp"

#include <QTest>

#include <gtest/gtest.h>

#include "ShellSessionHarness.hpp"

namespace orvel::test {
namespace {

using nlohmann::json;

struct RemoteTextEntryTest : SessionTest {
    RemoteTextEntryTest()
        : SessionTest({{"pairedDevices", savedList({kBedroom})}, {"lastDevice", kBedroom.id}}) {
        store.start();
        h.connect(kBedroom);
        bridge.emit(stateWith({"text", "select"}));
        idle();
    }
    void type(const QString& text) { QTest::keyClicks(&entry, text); }
    void pressReturn() {
        QTest::keyClick(&entry, Qt::Key_Return);
        idle();
    }
    std::vector<json> texts() const { return bridge.sent("command"); }

    RemoteTextEntry entry{store};
};

TEST_F(RemoteTextEntryTest, ReturnSendsEvenAnEmptyFieldAndClearsItOnSuccessUnlessTypedMeanwhile) {
    type("hello");
    pressReturn();
    ASSERT_EQ(texts().size(), 1u);
    EXPECT_EQ(texts()[0], json({{"action", "text"}, {"text", "hello"}}));
    EXPECT_EQ(entry.text(), "hello");  // until the TV took it
    ASSERT_TRUE(bridge.reply("command"));
    idle();
    EXPECT_EQ(entry.text(), "");
    EXPECT_EQ(entry.textError(), "");
    QTest::keyClick(&entry, Qt::Key_Enter);  // the keypad's, on an empty field
    idle();
    ASSERT_EQ(texts().size(), 2u);
    EXPECT_EQ(texts()[1]["text"], "");
    EXPECT_EQ(entry.text(), "") << "never inserted";
    ASSERT_TRUE(bridge.reply("command"));

    type("net");
    pressReturn();
    type("flix");
    ASSERT_TRUE(bridge.reply("command"));
    idle();
    EXPECT_EQ(entry.text(), "netflix");
}

TEST_F(RemoteTextEntryTest, FailuresGiveTheSessionsReasonElseTheirOwn) {
    struct Case {
        json reply;
        QString shown;
    };
    const Case cases[] = {
        {{{"error", "The TV has no text field open."}}, "The TV has no text field open."},
        {{{"error", ""}}, RemoteTextEntry::kNotSent},
    };
    for (const auto& c : cases) {
        entry.setText("abc");
        pressReturn();
        ASSERT_TRUE(bridge.reply("command", c.reply));
        idle();
        EXPECT_EQ(entry.textError(), c.shown);
        EXPECT_EQ(entry.text(), "abc");  // kept for another try
    }
}

TEST_F(RemoteTextEntryTest, ATVWithoutTextEntrySendsNothing) {
    bridge.emit(stateWith({"select"}));
    idle();
    type("abc");
    pressReturn();
    EXPECT_TRUE(texts().empty());
    EXPECT_EQ(entry.textError(), RemoteTextEntry::kNoTextEntry);
    EXPECT_EQ(entry.text(), "abc");
}

TEST_F(RemoteTextEntryTest, EachNewFocusRequestFocusesOnceAndAtOnce) {
    QWidget window;
    auto* field = new RemoteTextEntry(store, &window);
    auto* other = new QLineEdit(&window);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTRY_VERIFY_WITH_TIMEOUT(field->hasFocus(), 2000);  // shown in the active window

    other->setFocus();
    field->setFocusRequest(store.state().focusTextRequest);  // no change: no focus
    QCoreApplication::processEvents();
    EXPECT_FALSE(field->hasFocus());

    field->setFocusRequest(store.state().focusTextRequest + 1);
    EXPECT_TRUE(field->hasFocus()) << "at once: keys typed next may be queued already";
    EXPECT_EQ(field->accessibleName(), "");  // not named before its kind is known
    field->setTvKind("Roku");                // named so: the remote view's test
    EXPECT_EQ(field->placeholderText(), "Type on Roku");
}

}  // namespace
}  // namespace orvel::test

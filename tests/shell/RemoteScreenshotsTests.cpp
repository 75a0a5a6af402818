// Pictures of the remote in its main states, light and dark, for people to look at: written
// only when ORVEL_SCREENSHOTS_DIR names a folder (the shell.RemoteScreenshots test sets it).

#include <QDir>
#include <QImage>
#include <QLayout>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QTest>
#include <functional>

#include <gtest/gtest.h>

#include "ShellSessionHarness.hpp"
#include "shell/RemoteTextEntry.hpp"
#include "shell/RemoteView.hpp"

namespace orvel::test {
namespace {

QPalette darkPalette() {
    QPalette dark;
    const QColor window(0x26, 0x26, 0x28);
    const QColor text(0xEC, 0xEC, 0xEE);
    dark.setColor(QPalette::Window, window);
    dark.setColor(QPalette::WindowText, text);
    dark.setColor(QPalette::Base, QColor(0x1C, 0x1C, 0x1E));
    dark.setColor(QPalette::AlternateBase, window);
    dark.setColor(QPalette::Text, text);
    dark.setColor(QPalette::Button, QColor(0x33, 0x33, 0x36));
    dark.setColor(QPalette::ButtonText, text);
    dark.setColor(QPalette::PlaceholderText, QColor(0x8E, 0x8E, 0x93));
    dark.setColor(QPalette::Highlight, QColor(0x0A, 0x84, 0xFF));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::ToolTipBase, window);
    dark.setColor(QPalette::ToolTipText, text);
    return dark;
}

QPalette lightPalette() {
    QPalette light = QApplication::style()->standardPalette();
    light.setColor(QPalette::Window, QColor(0xF2, 0xF2, 0xF4));
    light.setColor(QPalette::WindowText, QColor(0x1C, 0x1C, 0x1E));
    light.setColor(QPalette::Text, QColor(0x1C, 0x1C, 0x1E));
    light.setColor(QPalette::Highlight, QColor(0x00, 0x7A, 0xFF));
    light.setColor(QPalette::HighlightedText, Qt::white);
    return light;
}

class RemoteScreenshots : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = qEnvironmentVariable("ORVEL_SCREENSHOTS_DIR");
        if (folder_.isEmpty()) GTEST_SKIP() << "ORVEL_SCREENSHOTS_DIR is not set";
        ASSERT_TRUE(QDir().mkpath(folder_));
    }

    // Writes `name`-light.png and `name`-dark.png of the view on `store` after `prepare`.
    void capture(const QString& name, SessionHarness& h, const std::function<void()>& prepare) {
        RemoteView view(*h.store, {.showSettings = [] {}, .resize = [] {}});
        view.show();
        prepare();
        h.idle();
        QCoreApplication::processEvents();
        for (const auto& [appearance, palette] :
             {std::pair{QStringLiteral("light"), lightPalette()},
              std::pair{QStringLiteral("dark"), darkPalette()}}) {
            view.setPalette(palette);
            view.layout()->activate();
            const int height = view.hasHeightForWidth() ? view.heightForWidth(RemoteView::kWidth)
                                                        : view.sizeHint().height();
            view.resize(RemoteView::kWidth, height);
            view.layout()->activate();
            QPixmap picture(view.size() * 2);
            picture.setDevicePixelRatio(2);
            picture.fill(palette.color(QPalette::Window));
            view.render(&picture, {}, {}, QWidget::DrawChildren);
            const QString path = folder_ + "/remote-" + name + "-" + appearance + ".png";
            ASSERT_TRUE(picture.save(path, "PNG")) << path.toStdString();
            const QImage written(path);
            EXPECT_EQ(written.size(), QSize(2 * RemoteView::kWidth, 2 * height));
        }
    }

    QString folder_;
};

TEST_F(RemoteScreenshots, EveryStateInLightAndDark) {
    const std::pair<QString, std::function<void(AppStore&)>> demoScenes[] = {
        {"playing", [](AppStore&) {}},
        {"error",
         [](AppStore& store) {
             store.send(RemoteAction::text,
                        {.text = std::string(AppStore::kMaxTextScalars + 1, 'a')});
         }},
        {"navigation", [](AppStore& store) { store.setNavigationExpanded(true); }},
        {"typing", [](AppStore& store) { store.focusText(); }},
        {"offline", [](AppStore& store) { store.disconnect(); }},
    };
    for (const auto& scene : demoScenes) {
        SessionHarness demo;
        AppStore& store = demo.makeDemo();
        capture(scene.first, demo, [&] { scene.second(store); });
    }
    SessionHarness empty;
    empty.make();
    capture("unpaired", empty, [] {});
}

}  // namespace
}  // namespace orvel::test

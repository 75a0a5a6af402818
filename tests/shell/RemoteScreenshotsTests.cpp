// Pictures of the remote in its main states, light and dark, for people to look at: written
// only when ORVEL_SCREENSHOTS_DIR names a folder (the shell.RemoteScreenshots test sets it).

#include <QDir>
#include <QImage>
#include <QLayout>
#include <QPainter>
#include <QPixmap>
#include <QTest>
#include <functional>

#include <gtest/gtest.h>

#include "ShellSessionHarness.hpp"
#include "shell/Appearance.hpp"
#include "shell/RemoteTextEntry.hpp"
#include "shell/RemoteView.hpp"

namespace orvel::test {
namespace {

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
             {std::pair{QStringLiteral("light"), Appearance::lightPalette()},
              std::pair{QStringLiteral("dark"), Appearance::darkPalette()}}) {
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

#pragma once
// NativePreviews: pictures of the app's main screens for documentation, light and dark, each
// one view on a demo session (never a bridge child, never a socket), drawn off screen at twice
// its size. The pictures are a table of rows, a file prefix and a builder each:
//
//   NativePreviews::render("previews");   // menubar-light.png, remote-light.png, ...
//
// Every view is laid out at its fitting size (its height for its width), put on the window
// colour of the appearance and written as prefix + "light"/"dark" + ".png". Errors come back
// as one sentence; the first one stops the rendering.
//
// Owner: the caller, for one call. Thread: the GUI thread, with a QApplication (any platform;
// offscreen will do). The demo sessions run on a loop of their own whose clock stands still,
// so each picture shows one settled moment; they end with the row's picture.

#include <QImage>
#include <QPalette>
#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "platform/Result.hpp"
#include "session/DemoBridge.hpp"

class QWidget;

namespace orvel {

class AppStore;

class NativePreviews {
public:
    // What a row's builder is given: the appearance being drawn and demo sessions to show.
    class Context {
    public:
        Context(QString appearance, QPalette palette);
        ~Context();
        Context(const Context&) = delete;
        Context& operator=(const Context&) = delete;

        const QString& appearance() const { return appearance_; }  // "light" or "dark"
        const QPalette& palette() const { return palette_; }

        // A new demo session on `scene`, started and settled; it lives until the row's
        // picture is written, so a view on it must be what the builder returns.
        AppStore& demoStore(DemoBridge::Scene scene = DemoBridge::Scene::playing);
        // Runs what the sessions have posted, so that a change shows before the picture.
        void settle();

    private:
        struct Sessions;
        QString appearance_;
        QPalette palette_;
        std::unique_ptr<Sessions> sessions_;
    };

    using Builder = std::function<std::unique_ptr<QWidget>(Context&)>;
    struct Row {
        QString prefix;  // "remote-": remote-light.png and remote-dark.png
        Builder build;
    };

    // In this order: "menubar-", "remote-", "navigation-", "typing-", "settings-", "about-",
    // "remote-blocked-", "remote-offline-".
    static std::vector<Row> rows();

    // Creates `folder` with its parents; for "light" then "dark", draws every row into it.
    static Result<void> render(const std::filesystem::path& folder,
                               const std::vector<Row>& rows = NativePreviews::rows());

    // `view` in `palette` at its fitting size, on the window colour, at 2x with a device pixel
    // ratio of 2. A failure names the "OrvelPreview" error.
    static Result<QImage> capture(QWidget& view, const QPalette& palette);
};

}  // namespace orvel

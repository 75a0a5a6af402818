#pragma once
// RemotePanel: the frameless window the remote lives in. It floats above other windows, stays
// out of the task bar and the window switcher, and looks like a popup of the desktop: a surface
// in the palette's window colour with rounded corners and a soft shadow where the desktop
// composites, square and plain where it cannot. It hangs under the tray's anchor (or stands
// above it when the tray is at the bottom) and keeps that edge when its content grows.
//
//   RemotePanel panel(new RemoteView(store, actions));   // the panel owns its content
//   panel.place(anchor, *screen);  panel.show();  ...  panel.fitToContent();
//
// Owner: RemoteController (a new panel per showing). Thread: the GUI thread. Ends with
// destruction, which takes the content with it.

#include <QRect>
#include <QString>
#include <QWidget>

#include "shell/PanelPlacement.hpp"

class QScreen;

namespace orvel {

class RemotePanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kCornerRadius = 14;
    static constexpr int kShadowWidth = 12;

    explicit RemotePanel(QWidget* content);
    ~RemotePanel() override;

    // Whether windows of this Qt platform get an alpha channel that a compositor blends:
    // always on Wayland and, by assumption, on X11 (every desktop we target composites; an X
    // server without a compositor shows the shadow's pixels dark). Not on the offscreen,
    // framebuffer and other single-surface platforms.
    static bool composites(const QString& platformName);

    QWidget* content() const { return content_; }
    bool translucent() const { return translucent_; }
    // The visible surface, in screen coordinates: the frame without the shadow.
    QRect surfaceGeometry() const;
    PanelPlacement::Edge keptEdge() const { return kept_; }

    // Sizes the panel to its content and puts the surface under (or above) `anchor`, both in
    // screen coordinates on `screen`.
    void place(QRect anchor, const QScreen& screen);
    // Sizes the panel to its content again, keeping the edge that place() hung it from.
    void fitToContent();

Q_SIGNALS:
    // The panel had the keyboard focus and lost it to another window (or to nothing).
    void deactivated();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int margin() const { return translucent_ ? kShadowWidth : 0; }
    QSize surfaceSize() const;
    void setSurface(QRect surface);

    QWidget* content_;
    bool translucent_;
    PanelPlacement::Edge kept_ = PanelPlacement::Edge::top;
};

}  // namespace orvel

#pragma once
// TestXClient: a second X client for the key tests. It types through XTEST, owns a focused
// window that records the keys reaching it, holds grabs of its own (another program's) and
// sets a fast auto-repeat. Test thread only; disconnects when it goes.

// Keys are named by their keysyms (XK_Up, XF86XK_AudioPlay).
#include <X11/XF86keysym.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>
#define explicit explicit_  // NOLINT: the XKB header names a field so
#include <xcb/xkb.h>
#undef explicit

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvel::test {

// A reply, event or error from xcb, which allocates them with malloc.
struct XcbFree {
    void operator()(void* owned) const { std::free(owned); }  // NOLINT(cppcoreguidelines-no-malloc)
};
template <typename T>
using XcbOwned = std::unique_ptr<T, XcbFree>;

class TestXClient {
public:
    struct Key {
        xcb_keycode_t keycode;
        std::uint16_t state;
        bool pressed;
    };

    TestXClient() : connection_(xcb_connect(nullptr, nullptr)) {
        if (xcb_connection_has_error(connection_) != 0) return;
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        symbols_ = xcb_key_symbols_alloc(connection_);
        window_ = xcb_generate_id(connection_);
        const std::uint32_t mask = XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE;
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, root_, 0, 0, 100, 100, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                          &mask);
        xcb_map_window(connection_, window_);
        xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_POINTER_ROOT, window_, XCB_CURRENT_TIME);
        sync();
    }
    ~TestXClient() {
        // The server may notice a closed connection only after the next test's requests: its
        // grabs and focus are given back here, in order.
        if (ok()) {
            xcb_ungrab_key(connection_, XCB_GRAB_ANY, root_, XCB_MOD_MASK_ANY);
            xcb_destroy_window(connection_, window_);
            sync();
        }
        if (symbols_ != nullptr) xcb_key_symbols_free(symbols_);
        xcb_disconnect(connection_);
    }
    TestXClient(const TestXClient&) = delete;
    TestXClient& operator=(const TestXClient&) = delete;

    bool ok() const { return xcb_connection_has_error(connection_) == 0; }

    xcb_keycode_t keycode(std::uint32_t keysym) {
        const XcbOwned<xcb_keycode_t> found(xcb_key_symbols_get_keycode(symbols_, keysym));
        return found ? *found : 0;
    }

    void press(xcb_keycode_t keycode) { fake(XCB_KEY_PRESS, keycode); }
    void release(xcb_keycode_t keycode) { fake(XCB_KEY_RELEASE, keycode); }
    // Presses the keys in order and releases them in reverse.
    void tap(const std::vector<xcb_keycode_t>& keys) {
        for (auto key : keys) press(key);
        for (auto it = keys.rbegin(); it != keys.rend(); ++it) release(*it);
    }

    // The X error code of another client's grab, 0 when it holds.
    std::uint8_t grab(xcb_keycode_t keycode, std::uint16_t modifiers) {
        const XcbOwned<xcb_generic_error_t> error(xcb_request_check(
            connection_, xcb_grab_key_checked(connection_, 0, root_, modifiers, keycode,
                                              XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)));
        return error ? error->error_code : 0;
    }

    // Makes `keycode` type `keysym` (0: nothing), as a user's own layout might.
    void map(xcb_keycode_t keycode, std::uint32_t keysym) {
        xcb_change_keyboard_mapping(connection_, 1, keycode, 1, &keysym);
        sync();
    }

    // Auto-repeat after `delay` ms every `interval` ms, so a held key repeats within a test.
    void setRepeat(std::uint16_t delay, std::uint16_t interval) {
        xcb_discard_reply(connection_, xcb_xkb_use_extension(connection_, 1, 0).sequence);
        const std::vector<std::uint8_t> perKey(32, 0xff);
        xcb_xkb_set_controls(connection_, XCB_XKB_ID_USE_CORE_KBD, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                             XCB_XKB_BOOL_CTRL_REPEAT_KEYS, XCB_XKB_BOOL_CTRL_REPEAT_KEYS,
                             XCB_XKB_BOOL_CTRL_REPEAT_KEYS, delay, interval, 0, 0, 0, 0, 0, 0, 0, 0,
                             0, 0, 0, 0, perKey.data());
        sync();
    }

    // A click of the first button at (x, y) on the screen.
    void click(std::int16_t x, std::int16_t y) {
        xcb_test_fake_input(connection_, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root_, x, y, 0);
        xcb_test_fake_input(connection_, XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_test_fake_input(connection_, XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                            0);
        sync();
    }

    // What a window manager does on a click in our window: give it the keyboard.
    void takeFocus() {
        xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_POINTER_ROOT, window_, XCB_CURRENT_TIME);
        sync();
    }

    struct Frame {
        std::int16_t x, y;
        std::uint16_t width, height;
        xcb_window_t window;
    };
    // Where the shown top-level window titled `title` is; nothing while none is.
    std::optional<Frame> shownWindow(const std::string& title) {
        const XcbOwned<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr));
        const xcb_window_t* children = tree ? xcb_query_tree_children(tree.get()) : nullptr;
        for (int i = 0; tree && i < xcb_query_tree_children_length(tree.get()); ++i) {
            if (windowTitle(children[i]) != title || !viewable(children[i])) continue;
            const XcbOwned<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(
                connection_, xcb_get_geometry(connection_, children[i]), nullptr));
            if (geometry)
                return Frame{geometry->x, geometry->y, geometry->width, geometry->height,
                             children[i]};
        }
        return std::nullopt;
    }

    // Whether the keyboard's focus is `window` or one of its descendants: only then do typed
    // keys reach it, and a program may map a window a while before it takes the focus.
    bool focusedWithin(xcb_window_t window) {
        const XcbOwned<xcb_get_input_focus_reply_t> focus(
            xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
        xcb_window_t at = focus ? focus->focus : XCB_NONE;
        while (at != XCB_NONE && at != root_ && at != window) {
            const XcbOwned<xcb_query_tree_reply_t> tree(
                xcb_query_tree_reply(connection_, xcb_query_tree(connection_, at), nullptr));
            at = tree ? tree->parent : XCB_NONE;
        }
        return at == window && window != XCB_NONE;
    }

    // Waits until the server has handled everything sent so far.
    void sync() {
        XcbOwned<xcb_get_input_focus_reply_t>(
            xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    }

    // The keys that reached the window so far.
    const std::vector<Key>& keys() {
        while (const XcbOwned<xcb_generic_event_t> event{xcb_poll_for_event(connection_)}) {
            const auto type = event->response_type & 0x7f;
            if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
                const auto* key = reinterpret_cast<xcb_key_press_event_t*>(event.get());
                keys_.push_back({key->detail, key->state, type == XCB_KEY_PRESS});
            }
        }
        return keys_;
    }
    bool received(xcb_keycode_t keycode) {
        for (const Key& each : keys()) {
            if (each.keycode == keycode && each.pressed) return true;
        }
        return false;
    }

private:
    std::string windowTitle(xcb_window_t window) {
        const XcbOwned<xcb_get_property_reply_t> reply(
            xcb_get_property_reply(connection_,
                                   xcb_get_property(connection_, 0, window, XCB_ATOM_WM_NAME,
                                                    XCB_GET_PROPERTY_TYPE_ANY, 0, 256),
                                   nullptr));
        if (!reply) return {};
        return {static_cast<const char*>(xcb_get_property_value(reply.get())),
                static_cast<std::size_t>(xcb_get_property_value_length(reply.get()))};
    }
    bool viewable(xcb_window_t window) {
        const XcbOwned<xcb_get_window_attributes_reply_t> reply(xcb_get_window_attributes_reply(
            connection_, xcb_get_window_attributes(connection_, window), nullptr));
        return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
    }

    void fake(std::uint8_t type, xcb_keycode_t keycode) {
        xcb_test_fake_input(connection_, type, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(connection_);
    }

    xcb_connection_t* connection_;
    xcb_window_t root_ = 0;
    xcb_window_t window_ = 0;
    xcb_key_symbols_t* symbols_ = nullptr;
    std::vector<Key> keys_;
};

}  // namespace orvel::test

// What the tray program sets on its X11 windows: the application icon holds a 1024-pixel picture,
// but no window's icon property (the hidden main window, the tray icon's window, the menu, the
// preferences window) carries a picture over 256 x 256. Read from the X server with xcb.
#include "tests/fixtures/TrayMachine.h"

#include <QSize>

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <utility>

using namespace TestSupport;

namespace {

using Connection = std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)>;

xcb_atom_t Atom(xcb_connection_t* connection, const char* name)
{
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, uint16_t(qstrlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The pictures of a window's _NET_WM_ICON property as width x height, in order.
QList<QSize> IconSizes(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t icon)
{
    // Long enough for several 1024 x 1024 pictures.
    const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(connection,
                               xcb_get_property(connection, 0, window, icon, XCB_ATOM_CARDINAL, 0, 16 * 1024 * 1024),
                               nullptr),
        &std::free);
    QList<QSize> sizes;
    if (!reply || reply->format != 32) {
        return sizes;
    }
    const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    const qint64 count = xcb_get_property_value_length(reply.get()) / 4;
    for (qint64 at = 0; at + 2 <= count;) {
        const QSize size(int(data[at]), int(data[at + 1]));
        sizes << size;
        at += 2 + qint64(size.width()) * size.height();
    }
    return sizes;
}

// The process that made a window (its _NET_WM_PID), or 0.
qint64 WindowPid(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t pid)
{
    const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(connection, xcb_get_property(connection, 0, window, pid, XCB_ATOM_CARDINAL, 0, 1),
                               nullptr),
        &std::free);
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) != 4) {
        return 0;
    }
    return *static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
}

// Every window of the display that process `owner` made, with the sizes of its icon pictures
// (windows without the property left out).
std::map<xcb_window_t, QList<QSize>> WindowIcons(const QString& display, qint64 owner)
{
    std::map<xcb_window_t, QList<QSize>> icons;
    const Connection connection(xcb_connect(display.toLocal8Bit().constData(), nullptr), &xcb_disconnect);
    if (xcb_connection_has_error(connection.get()) != 0) {
        ADD_FAILURE() << "cannot connect to " << display.toStdString();
        return icons;
    }
    const xcb_atom_t icon = Atom(connection.get(), "_NET_WM_ICON");
    const xcb_atom_t pid = Atom(connection.get(), "_NET_WM_PID");
    QList<xcb_window_t> pending{xcb_setup_roots_iterator(xcb_get_setup(connection.get())).data->root};
    while (!pending.isEmpty()) {
        const xcb_window_t window = pending.takeFirst();
        const std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
            xcb_query_tree_reply(connection.get(), xcb_query_tree(connection.get(), window), nullptr), &std::free);
        if (!tree) {
            continue;  // gone meanwhile
        }
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
            pending << children[i];
            if (WindowPid(connection.get(), children[i], pid) != owner) {
                continue;
            }
            if (QList<QSize> sizes = IconSizes(connection.get(), children[i], icon); !sizes.isEmpty()) {
                icons[children[i]] = std::move(sizes);
            }
        }
    }
    return icons;
}

TEST(WindowIconTest, WindowsCarryTheLogoUpTo256Pixels)
{
    TrayMachine machine;
    TrayDesktop desktop;
    ASSERT_TRUE(desktop.Ready());
    TrayProgram program(desktop, machine);
    ASSERT_FALSE(program.WaitForTrayMenu().isEmpty()) << program.ErrorOutput().toStdString();
    // The menu and the preferences window are made too.
    ASSERT_EQ(User({"click", "--context", "tray"}).exitCode, 0);
    ASSERT_EQ(User({"trigger", "Preferences..."}).exitCode, 0);
    ASSERT_FALSE(
        program.WaitForView([](const QJsonObject& shown) { return ShowsWindow(shown, "PreferencesDialog"); }).isEmpty());

    const auto icons = WindowIcons(desktop.Display(), program.Pid());
    EXPECT_GE(icons.size(), 3u);
    const QList<QSize> logo{{16, 16}, {24, 24}, {32, 32}, {48, 48}};
    for (const auto& [window, sizes] : icons) {
        EXPECT_EQ(sizes, logo) << "window " << window;
    }
    EXPECT_EQ(User({"trigger", "Quit"}).exitCode, 0);
    EXPECT_EQ(program.WaitForExit(), 0);
}

}  // namespace

#pragma once

#include <memory>
#include <xcb/xcb.h>

#include <QApplication>
#include <QTest>
#include <QWidget>

// The player clicks into another program. On X another client maps a window and takes the
// keyboard focus at the server's current time, as that program does; the program under test
// hears of it only as a lost focus. Elsewhere a window of this process comes up, takes the
// focus and goes again. The focus stays away while this lives.
class FocusElsewhere
{
public:
    FocusElsewhere()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) {
            QWidget elsewhere;
            elsewhere.show();
            elsewhere.activateWindow();
            QVERIFY(QTest::qWaitFor([&] { return QApplication::activeWindow() == &elsewhere; }));
            elsewhere.hide();
            return;
        }
        int screen = 0;
        m_x = xcb_connect(nullptr, &screen);
        auto roots = xcb_setup_roots_iterator(xcb_get_setup(m_x));
        for (; screen > 0; --screen)
            xcb_screen_next(&roots);
        const xcb_window_t window = xcb_generate_id(m_x);
        xcb_create_window(m_x, XCB_COPY_FROM_PARENT, window, roots.data->root, 0, 0, 40, 40, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, roots.data->root_visual, 0, nullptr);
        xcb_map_window(m_x, window);
        xcb_set_input_focus(m_x, XCB_INPUT_FOCUS_PARENT, window, XCB_CURRENT_TIME);
        free(xcb_get_input_focus_reply(m_x, xcb_get_input_focus(m_x), nullptr));
    }
    ~FocusElsewhere()
    {
        if (m_x)
            xcb_disconnect(m_x);
    }
    FocusElsewhere(const FocusElsewhere&) = delete;
    FocusElsewhere& operator=(const FocusElsewhere&) = delete;

private:
    xcb_connection_t* m_x = nullptr;
};

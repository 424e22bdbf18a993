#include "ui/common/WindowActivation.h"

#include <optional>
#ifdef VANTRELL_XCB
#include <xcb/xcb.h>
#endif

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>

namespace vantrell::ui {

#ifdef VANTRELL_XCB
namespace {

// The time an X startup id carries ("..._TIME1234"), if any.
std::optional<xcb_timestamp_t> startupTime(const QString& token)
{
    const qsizetype at = token.lastIndexOf(QLatin1String("_TIME"));
    bool ok = false;
    const uint time = at < 0 ? 0 : token.mid(at + 5).toUInt(&ok);
    return ok && time != 0 ? std::optional<xcb_timestamp_t>(time) : std::nullopt;
}

// Qt's xcb platform takes the time of every property change it is told of on its windows as
// the latest time it knows, and asks for the focus with that time. So a property change on
// the window, a real one (the server stamps it with its current time) or one sent by
// ourselves with the token's time, updates that time; the window is activated once Qt has
// read it. Lives for one activation.
class XTimeThenActivate : public QObject, public QAbstractNativeEventFilter
{
public:
    XTimeThenActivate(xcb_connection_t* connection, QWidget* window,
                      std::optional<xcb_timestamp_t> time)
        : QObject(window), m_window(window), m_id(static_cast<xcb_window_t>(window->winId()))
    {
        static constexpr char kName[] = "_VANTRELL_USER_TIME";
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, sizeof kName - 1, kName), nullptr);
        m_atom = atom ? atom->atom : xcb_atom_t{XCB_ATOM_NONE};
        free(atom);
        QCoreApplication::instance()->installNativeEventFilter(this);
        if (time) {
            xcb_property_notify_event_t event{};
            event.response_type = XCB_PROPERTY_NOTIFY;
            event.window = m_id;
            event.atom = m_atom;
            event.time = *time;
            event.state = XCB_PROPERTY_NEW_VALUE;
            // No event mask: it goes to the window's own client, Qt.
            xcb_send_event(connection, 0, m_id, XCB_EVENT_MASK_NO_EVENT,
                           reinterpret_cast<const char*>(&event));
        } else {
            xcb_change_property(connection, XCB_PROP_MODE_APPEND, m_id, m_atom, XCB_ATOM_INTEGER,
                                32, 0, nullptr);
        }
        xcb_flush(connection);
        // Should the change never come back, the window is asked for all the same.
        QTimer::singleShot(1000, this, &XTimeThenActivate::activate);
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
            return false;
        const auto* change = static_cast<const xcb_property_notify_event_t*>(message);
        // Qt reads the time after this filter: activate after it.
        if (change->window == m_id && change->atom == m_atom)
            QMetaObject::invokeMethod(this, &XTimeThenActivate::activate, Qt::QueuedConnection);
        return false;
    }

private:
    void activate()
    {
        if (m_done)
            return;
        m_done = true;
        if (m_window)
            m_window->activateWindow();
        deleteLater();
    }

    QPointer<QWidget> m_window;
    xcb_window_t m_id;
    xcb_atom_t m_atom = xcb_atom_t{XCB_ATOM_NONE};
    bool m_done = false;
};

} // namespace
#endif

void bringToFront(QWidget* window, const QString& activationToken)
{
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->raise();
#ifdef VANTRELL_XCB
    // (The offscreen platform may have an X connection of its own for drawing.)
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 && x11->connection() && window->windowHandle() &&
        QGuiApplication::platformName() == QLatin1String("xcb")) {
        new XTimeThenActivate(x11->connection(), window, startupTime(activationToken));
        return;
    }
#endif
    const bool token =
        !activationToken.isEmpty() && QGuiApplication::platformName() == QLatin1String("wayland");
    if (token)
        qputenv("XDG_ACTIVATION_TOKEN", activationToken.toUtf8());
    window->activateWindow();
    // Taken at once where Qt can use it; never handed on to a game the program starts.
    if (token)
        qunsetenv("XDG_ACTIVATION_TOKEN");
}

} // namespace vantrell::ui

#include "app/HostWindow.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdlib>

#ifdef ALMADIA_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace almadia::app {

std::optional<std::uint32_t> parseHandle(const QString& text) {
    if (text.isEmpty()) return std::nullopt;
    std::uint64_t value = 0;
    for (QChar c : text) {
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c.unicode() - u'0';
        else if (c >= u'a' && c <= u'f')
            digit = c.unicode() - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            digit = c.unicode() - u'A' + 10;
        else
            return std::nullopt;
        value = value * 16 + std::uint64_t(digit);
        if (value > 0xFFFFFFFFu) return std::nullopt;
    }
    return std::uint32_t(value);
}

#ifdef ALMADIA_HAVE_XCB

namespace {

xcb_connection_t* x11Connection() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

} // namespace

bool nativeWindowExists(WId id) {
    xcb_connection_t* connection = x11Connection();
    if (!connection) return true;
    if (id == 0) return false;
    auto cookie = xcb_get_window_attributes(connection, xcb_window_t(id));
    xcb_generic_error_t* error = nullptr;
    auto* reply = xcb_get_window_attributes_reply(connection, cookie, &error);
    const bool exists = reply != nullptr;
    std::free(reply);
    std::free(error);
    return exists;
}

WId nativeParent(WId id) {
    xcb_connection_t* connection = x11Connection();
    if (!connection) return 0;
    auto* reply = xcb_query_tree_reply(connection, xcb_query_tree(connection, xcb_window_t(id)), nullptr);
    if (!reply) return 0;
    const WId parent = reply->parent;
    std::free(reply);
    return parent;
}

HostWatcher::HostWatcher(WId id, std::function<void()> gone, QObject* parent)
    : QObject(parent), id_(id), gone_(std::move(gone)) {
    xcb_connection_t* connection = x11Connection();
    if (!connection) return;
    // Our own event mask on the host window: the host's selection is its own and stays as it is.
    const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, xcb_window_t(id), XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

HostWatcher::~HostWatcher() {
    if (auto* app = QCoreApplication::instance()) app->removeNativeEventFilter(this);
}

bool HostWatcher::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (fired_ || eventType != "xcb_generic_event_t") return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_DESTROY_NOTIFY) return false;
    auto* destroyed = reinterpret_cast<xcb_destroy_notify_event_t*>(event);
    if (destroyed->window != xcb_window_t(id_)) return false;
    fired_ = true;
    // Not from inside the event dispatch: the handler may show a box or end the program.
    QMetaObject::invokeMethod(
        this, [this] { gone_(); }, Qt::QueuedConnection);
    return false;
}

#else

bool nativeWindowExists(WId) {
    return true;
}
WId nativeParent(WId) {
    return 0;
}

HostWatcher::HostWatcher(WId id, std::function<void()> gone, QObject* parent)
    : QObject(parent), id_(id), gone_(std::move(gone)) {}
HostWatcher::~HostWatcher() = default;
bool HostWatcher::nativeEventFilter(const QByteArray&, void*, qintptr*) {
    return false;
}

#endif

} // namespace almadia::app

#pragma once

// The window of another process that the dialog is embedded in (X11 through xcb; elsewhere the
// checks answer optimistically and the window's own close event is all there is).

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QWindow>

#include <cstdint>
#include <functional>
#include <optional>

namespace almadia::app {

// The handle parameter read as "$" followed by it: 1 to 8 hexadecimal digits once leading zeros
// are dropped, nothing else (no prefix, sign or blank). nullopt when it is not such a number.
std::optional<std::uint32_t> parseHandle(const QString& text);

// Whether `id` names an existing native window. True where this cannot be checked.
bool nativeWindowExists(WId id);

// The native parent of `id` (0 when it has none or it cannot be told).
WId nativeParent(WId id);

// Calls `gone` once when the native window `id` is destroyed.
class HostWatcher : public QObject, public QAbstractNativeEventFilter {
public:
    HostWatcher(WId id, std::function<void()> gone, QObject* parent = nullptr);
    ~HostWatcher() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    WId id_;
    std::function<void()> gone_;
    bool fired_ = false;
};

} // namespace almadia::app

// Close requests while a modal window is open (see close_request.h).
#include "app/close_request.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMetaObject>
#include <QWindow>

#if defined(K740_HAVE_XCB)
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#endif
#if defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace k740 {

#if defined(K740_HAVE_XCB)
namespace {
// Atoms are the X server's: a short connection of our own finds the same numbers the
// toolkit's connection uses.
bool internAtoms(unsigned int* protocols, unsigned int* deleteWindow) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (!c || xcb_connection_has_error(c)) {
        if (c) xcb_disconnect(c);
        return false;
    }
    const char* names[2] = {"WM_PROTOCOLS", "WM_DELETE_WINDOW"};
    xcb_intern_atom_cookie_t cookies[2];
    for (int i = 0; i < 2; ++i)
        cookies[i] = xcb_intern_atom(c, 1, std::uint16_t(std::strlen(names[i])), names[i]);
    unsigned int atoms[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        if (xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookies[i], nullptr)) {
            atoms[i] = reply->atom;
            std::free(reply);
        }
    }
    xcb_disconnect(c);
    *protocols = atoms[0];
    *deleteWindow = atoms[1];
    return atoms[0] != 0 && atoms[1] != 0;
}
}  // namespace
#endif

CloseRequestWhileBlocked::CloseRequestWhileBlocked(QWidget* window) : m_Window(window) {
#if defined(K740_HAVE_XCB)
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        m_Active = internAtoms(&m_ProtocolsAtom, &m_DeleteWindowAtom);
#elif defined(Q_OS_WIN)
    m_Active = true;
#endif
    if (m_Active) QCoreApplication::instance()->installNativeEventFilter(this);
}

CloseRequestWhileBlocked::~CloseRequestWhileBlocked() {
    if (m_Active && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool CloseRequestWhileBlocked::takeRequest() {
    // Without a modal window the toolkit delivers the request itself.
    if (!m_Window || !QGuiApplication::modalWindow()) return false;
    QWindow* handle = m_Window->windowHandle();
    if (!handle || handle == QGuiApplication::modalWindow()) return false;
    QMetaObject::invokeMethod(m_Window.data(), "close", Qt::QueuedConnection);
    return true;
}

bool CloseRequestWhileBlocked::nativeEventFilter(const QByteArray& eventType, void* message, long*) {
    if (!m_Window || !m_Window->internalWinId()) return false;
#if defined(K740_HAVE_XCB)
    if (eventType == "xcb_generic_event_t") {
        auto* event = static_cast<xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) return false;
        auto* client = reinterpret_cast<xcb_client_message_event_t*>(event);
        if (client->window != xcb_window_t(m_Window->internalWinId()) || client->format != 32 ||
            client->type != m_ProtocolsAtom || client->data.data32[0] != m_DeleteWindowAtom)
            return false;
        return takeRequest();
    }
#endif
#if defined(Q_OS_WIN)
    if (eventType == "windows_generic_MSG") {
        auto* msg = static_cast<MSG*>(message);
        if (msg->message != WM_CLOSE || msg->hwnd != reinterpret_cast<HWND>(m_Window->internalWinId()))
            return false;
        return takeRequest();
    }
#endif
    Q_UNUSED(eventType);
    Q_UNUSED(message);
    return false;
}

}  // namespace k740

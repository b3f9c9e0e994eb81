// A request of the window system to close the main window (its title bar's close button, the
// window manager's "Close", Alt+F4) is honoured while a modal window is open. The toolkit
// drops such requests for a window that a modal window blocks, so the export-options window
// or a message box would otherwise keep the program alive after the operator closed it: the
// request is caught as it arrives and the main window is closed the ordinary way (its
// closeEvent then closes every other window, and the program ends).
#pragma once

#include <QAbstractNativeEventFilter>
#include <QPointer>
#include <QWidget>

namespace k740 {

class CloseRequestWhileBlocked : public QAbstractNativeEventFilter {
public:
    // Installs itself on the application for `window` (a top-level window).
    explicit CloseRequestWhileBlocked(QWidget* window);
    ~CloseRequestWhileBlocked() override;
    CloseRequestWhileBlocked(const CloseRequestWhileBlocked&) = delete;
    CloseRequestWhileBlocked& operator=(const CloseRequestWhileBlocked&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, long* result) override;

    // Whether close requests of this window system are recognised (X11 and Windows).
    bool active() const { return m_Active; }

private:
    // A close request for the window while a modal window blocks it: closes it after the
    // current event.
    bool takeRequest();

    QPointer<QWidget> m_Window;
    bool m_Active = false;
    unsigned int m_ProtocolsAtom = 0;     // X11: WM_PROTOCOLS
    unsigned int m_DeleteWindowAtom = 0;  // X11: WM_DELETE_WINDOW
};

}  // namespace k740

// Demonstration start-up with the simulated sensor on loopback.
#include "app/demo_session.h"

#include <QComboBox>
#include <QLineEdit>
#include <QToolButton>

#include "app/manwindow.h"
#include "platform/udp_socket.h"
#include "sim/sim_config.h"
#include "sim/sim_engine.h"

namespace k740 {

namespace {
constexpr const char* kSensorAddress = "127.0.0.2";
constexpr const char* kHostAddress = "127.0.0.1";
constexpr int kTopView = 1;  // "Top" in the view list

// A widget of the window's form by its object name.
template <class T>
T* formWidget(const manwindow& window, const char* name) {
    T* w = window.findChild<T*>(QString::fromLatin1(name));
    Q_ASSERT(w);
    return w;
}
}  // namespace

bool pickLoopbackPorts(std::uint16_t wishData, std::uint16_t wishDevice, std::uint16_t* data,
                       std::uint16_t* device) {
    if (wishData != 0 && wishDevice != 0 && wishData != wishDevice) {
        UdpSocket a, b;
        if (a.open() && b.open() && a.bind(wishData) && b.bind(wishDevice)) {
            *data = wishData;
            *device = wishDevice;
            return true;
        }
    }
    // Both sockets stay open until both ports are known, so the two differ.
    UdpSocket a, b;
    if (!a.open() || !b.open() || !a.bind(0) || !b.bind(0)) return false;
    *data = a.localPort();
    *device = b.localPort();
    return *data != 0 && *device != 0;
}

DemoSession::~DemoSession() {
    if (listener_) listener_->stop();
    if (engine_) engine_->stop();
}

std::unique_ptr<DemoSession> DemoSession::start(manwindow& window, int rpm, QString* error) {
    QLineEdit* dataPort = formWidget<QLineEdit>(window, "lineEdit_portNumber");
    QLineEdit* devicePort = formWidget<QLineEdit>(window, "lineEdit");
    std::unique_ptr<DemoSession> session(new DemoSession);
    if (!pickLoopbackPorts(static_cast<std::uint16_t>(dataPort->text().toInt()),
                           static_cast<std::uint16_t>(devicePort->text().toInt()),
                           &session->dataPort_, &session->devicePort_)) {
        if (error) *error = QStringLiteral("no free UDP ports on the loopback interface");
        return nullptr;
    }

    sim::SimConfig config;
    config.host = kHostAddress;
    config.sourceAddress = kSensorAddress;
    config.dataPort = session->dataPort_;
    config.devicePort = session->devicePort_;
    config.protocol = kProtocol17;
    config.rpm = rpm;
    session->engine_ = std::make_unique<sim::SimEngine>(config);
    // The sensor takes configuration packets at its own address; without that port the demo
    // still runs, it just does not obey Set.
    session->listener_ = std::make_unique<sim::ConfigListener>(*session->engine_, kSensorAddress);
    std::string why;
    if (!session->listener_->start(&why)) session->listener_.reset();
    if (!session->engine_->start(&why)) {
        if (error) *error = QString::fromStdString(why);
        return nullptr;
    }

    // The window listens where the simulated sensor sends, reads the 30-point layout and keeps
    // any group membership on the loopback interface.
    dataPort->setText(QString::number(session->dataPort_));
    devicePort->setText(QString::number(session->devicePort_));
    formWidget<QComboBox>(window, "comboBox_agree")->setCurrentIndex(kProtocol17);
    // Seen from above the simulated scene is a full ring; from the front only a few lines.
    formWidget<QComboBox>(window, "comboBox_View")->setCurrentIndex(kTopView);
    window.setMulticastInterface(QString::fromLatin1(kHostAddress));
    if (!window.liveRunning()) formWidget<QToolButton>(window, "toolButton_Lidar")->click();
    if (!window.liveRunning()) {
        // The window has told the operator why (a warning naming the port or group).
        if (error) *error = QStringLiteral("the live display did not start");
        return nullptr;
    }
    return session;
}

}  // namespace k740

// The status bar's live figures (see figures_room.h).
#include "app/figures_room.h"

#include <QLabel>
#include <QStatusBar>

#include "device/device_metatypes.h"
#include "device/udp_receiver.h"

namespace k740 {

FiguresRoom::FiguresRoom(QStatusBar* bar, Sources sources, const std::vector<UdpReceiver*>& receivers,
                         QObject* parent)
    : QObject(parent), m_Label(new QLabel(bar)), m_Sources(std::move(sources)) {
    m_Label->setObjectName(QStringLiteral("label_Figures"));
    // A long line of figures is cut at the window's edge rather than widening the window.
    m_Label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bar->addPermanentWidget(m_Label, 1);
    for (UdpReceiver* r : receivers)
        connect(r, &UdpReceiver::SendLidarStatusToSettingUI, this,
                [this](SettingData data, std::vector<int>) { m_Rpm = data.motorSpeed; });
    m_Clock.start();
    m_SinceDatagram.start();
    connect(&m_Timer, &QTimer::timeout, this, &FiguresRoom::tick);
    m_Timer.start(1000);
}

void FiguresRoom::tick() {
    const bool running = m_Sources.running && m_Sources.running();
    if (!running) {
        m_WasRunning = false;
        m_Label->clear();
        return;
    }
    FigureSample now = m_Sources.counters();
    now.seconds = m_Clock.elapsed() / 1000.0;
    if (!m_WasRunning || now.datagrams != m_Previous.datagrams) m_SinceDatagram.restart();
    now.secondsSinceDatagram = m_SinceDatagram.elapsed() / 1000.0;
    if (!m_WasRunning) {
        // A new session counts its drops from here; its first rates come a second later.
        m_Start = m_Previous = now;
        m_WasRunning = true;
    }
    FigureContext context;
    context.live = m_Sources.live && m_Sources.live();
    context.pacedPlay = !context.live && m_Sources.pacedPlay && m_Sources.pacedPlay();
    if (context.live) {
        context.sensorAddress = m_Sources.sensorAddress ? m_Sources.sensorAddress() : QString();
        context.rpm = m_Rpm;
    }
    context.recordingBytes = m_Sources.recordingBytes ? m_Sources.recordingBytes() : -1;
    const FiguresText f = figuresText(m_Start, m_Previous, now, context);
    m_Label->setText(f.text);
    m_Label->setStyleSheet(f.alarm ? QStringLiteral("color: red;") : QString());
    m_Previous = now;
}

}  // namespace k740

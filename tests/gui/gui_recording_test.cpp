// The record button's room: refusals that leave nothing recording, and a recording on the
// loopback adapter that its button stops whatever the live display does.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTemporaryDir>
#include <QToolButton>

#include "app/recording_room.h"
#include "gui_test_support.h"
#include "tests/core/packet_writer.h"

namespace {

struct RoomFixture {
    QToolButton button;
    QLineEdit port{QStringLiteral("2368")};
    bool live = true;
    QString sensor;
    k740::RecordingRoom room{nullptr, &button, &port, [this] { return live; },
                             [this] { return sensor; }};
    DialogRecorder dialogs;

    RoomFixture() { button.setCheckable(true); }
    // The operator's click: the button flips, then the room is told.
    void click() {
        dialogs.calls.clear();
        button.toggle();
        room.toggle();
    }
    QString lastText() const {
        return dialogs.calls.empty() ? QString() : dialogs.calls.back().text;
    }
};

TEST(RecordingRoom, RefusalsLeaveTheButtonUncheckedAndNothingRecording) {
    QTemporaryDir dir;
    RoomFixture f;
    f.live = false;
    f.click();
    ASSERT_EQ(f.dialogs.calls.size(), 1u);
    EXPECT_EQ(f.lastText(), QStringLiteral("Please connect the lidar first"));
    EXPECT_FALSE(f.button.isChecked());

    f.live = true;
    f.port.setText(QStringLiteral("23a8"));
    f.click();
    ASSERT_EQ(f.dialogs.calls.size(), 1u);  // refused before the save dialog
    EXPECT_TRUE(f.lastText().contains(QStringLiteral("\"23a8\""))) << f.lastText().toStdString();
    EXPECT_FALSE(f.button.isChecked());

    f.port.setText(QStringLiteral("2368"));
    f.click();  // save dialog cancelled (its name and filter rules are core tests)
    ASSERT_EQ(f.dialogs.calls.size(), 1u);
    EXPECT_EQ(f.dialogs.calls[0].kind, k740::Dialogs::Kind::SaveFile);
    EXPECT_FALSE(f.button.isChecked());

    // No adapter that could carry the sensor's traffic.
    f.dialogs.answer.fileName = dir.path() + QStringLiteral("/a.pcap");
    f.room.setAdapterSource([](std::string*) {
        k740::CaptureAdapter lo;
        lo.name = "lo";
        lo.up = lo.loopback = true;
        lo.ipv4 = {{0x7F000001u, 0xFF000000u}};
        return std::vector<k740::CaptureAdapter>{lo};
    });
    f.click();
    EXPECT_TRUE(f.lastText().startsWith(QStringLiteral("Recording could not start: ")))
        << f.lastText().toStdString();
    EXPECT_FALSE(f.button.isChecked());
    EXPECT_FALSE(f.room.isRecording());
    EXPECT_FALSE(QFile::exists(f.dialogs.answer.fileName));
}

TEST(RecordingRoom, RecordsOnLoopbackAndItsButtonStopsItWhateverTheLiveState) {
    std::string why;
    if (!canCaptureOnLoopback(&why))
        GTEST_SKIP() << "no permission to capture on the loopback adapter (run as root): " << why;
    QTemporaryDir dir;
    k740::UdpSocket receiver, sender;
    ASSERT_TRUE(receiver.open() && receiver.bind(0, "127.0.0.1") && sender.open() &&
                sender.bind(0, "127.0.0.2"));
    RoomFixture f;
    std::vector<bool> changes;
    QObject::connect(&f.room, &k740::RecordingRoom::recordingChanged,
                     [&](bool on) { changes.push_back(on); });
    f.sensor = QStringLiteral("127.0.0.2");
    f.port.setText(QString::number(receiver.localPort()));

    // A folder that cannot hold the file: warned, unchecked, the adapter released.
    f.dialogs.answer.fileName = dir.path() + QStringLiteral("/missing/a.pcap");
    f.click();
    EXPECT_TRUE(f.lastText().contains(QStringLiteral("cannot create the capture file")))
        << f.lastText().toStdString();
    EXPECT_FALSE(f.button.isChecked());
    EXPECT_FALSE(f.room.isRecording());

    f.dialogs.answer.fileName = dir.path() + QStringLiteral("/a.pcap");
    f.click();
    EXPECT_EQ(f.lastText(), QStringLiteral("Start recording"));
    ASSERT_TRUE(f.room.isRecording());
    EXPECT_TRUE(f.button.isChecked());
    EXPECT_EQ(f.room.adapterName(), QStringLiteral("lo"));
    const auto packet = k740test::makeSweepPacket(0, 100);
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(sender.sendTo(packet.data(), packet.size(), "127.0.0.1", receiver.localPort()),
                  1206);
    ASSERT_TRUE(waitUntil([&] { return f.room.packetsWritten() >= 10; }, 5000));

    f.live = false;  // the live display went off while recording
    f.click();
    EXPECT_EQ(f.lastText(), QStringLiteral("Recording the PCAP file is complete！"));
    EXPECT_FALSE(f.button.isChecked());
    EXPECT_FALSE(f.room.isRecording());

    // A disk that fills while recording: the recording ends, the operator is told.
    f.dialogs.answer.fileName = QStringLiteral("/dev/full");
    f.live = true;
    f.click();
    ASSERT_EQ(f.lastText(), QStringLiteral("Start recording"));
    f.dialogs.calls.clear();
    ASSERT_EQ(sender.sendTo(packet.data(), packet.size(), "127.0.0.1", receiver.localPort()), 1206);
    ASSERT_TRUE(waitUntil([&] { return !f.room.isRecording(); }, 5000));
    EXPECT_TRUE(
        f.lastText().startsWith(QStringLiteral("Recording stopped: cannot write the capture file")))
        << f.lastText().toStdString();
    EXPECT_FALSE(f.button.isChecked());
    EXPECT_EQ(changes, (std::vector<bool>{true, false, true, false}));  // the window's mode follows
}

}  // namespace

// The window's CSV export and region picking, driven through the form and the dialogs seam:
// an export of three frames from the options window to the completion message, a live export
// whose file (written on the export's own thread) holds exactly the frames that arrived, a
// file that cannot be opened, the paused export, an export cut short by closing the window,
// closing the window while the options window is open, and picking a region with its
// statistics until Clear.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QToolButton>

#include <cstdlib>
#include <cstring>
#include <sstream>

#if defined(K740_HAVE_XCB)
#include <xcb/xcb.h>
#endif

#include "acquisition/GetlidarData_1.h"
#include "app/export_room.h"
#include "export/csv_format.h"
#include "app/picking_room.h"
#include "export/SaveDataOptions.h"
#include "export/SaveDataOptions_form.h"
#include "gui_test_support.h"

namespace {

// Asks the window system to close `window`, as a window manager's close button does. False
// where this cannot be done (no X11).
bool requestCloseAsTheWindowManagerDoes(QWidget* window) {
#if defined(K740_HAVE_XCB)
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return false;
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (!c || xcb_connection_has_error(c)) return false;
    auto atom = [c](const char* name) {
        xcb_intern_atom_reply_t* reply =
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t a = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return a;
    };
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = xcb_window_t(window->winId());
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    // No event mask: the message goes to the client that made the window.
    xcb_send_event(c, 0, event.window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    xcb_flush(c);
    xcb_disconnect(c);
    return true;
#else
    Q_UNUSED(window);
    return false;
#endif
}

class ExportPickTest : public ::testing::Test, public WindowFixtureBase {
protected:
    k740::ExportRoom* room() { return roomOf<k740::ExportRoom>(*window); }
    Ui::SaveDataOptions* options() { return room()->optionsDialog()->form(); }

    // Fills the options window and presses OK, as the operator does.
    void pressOk(const QString& frames, const QString& lo, const QString& hi) {
        options()->lineEdit_freamCount->setText(frames);
        options()->lineEdit_AngleMin->setText(lo);
        options()->lineEdit_AngleMax->setText(hi);
        options()->pushButton_ok->click();
    }
    std::vector<QString> texts(k740::Dialogs::Kind kind) {
        std::vector<QString> out;
        for (const auto& c : dialogs.calls)
            if (c.kind == kind) out.push_back(c.text);
        return out;
    }
    static QString readFile(const QString& path) {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return QString::fromUtf8(f.readAll());
    }
    // 63.5 counts at 90 and 270 degrees lie 12.7 cm along +x and -x; 200 degrees is outside
    // the exported sector.
    static LidarDataSingleLine frame(std::uint64_t stamp) {
        return makeFrame(
            {{90.0, 63.5, 7, stamp}, {200.0, 1000.0, 8, stamp}, {135.0, 1000.0, 9, stamp}});
    }
    QTemporaryDir dir;
};

TEST_F(ExportPickTest, ThreeFramesFromTheOptionsWindowToTheCompletionMessage) {
    ASSERT_TRUE(exposed);
    const QString path = dir.filePath("three.csv");
    dialogs.answer.fileName = path;
    std::vector<int> progress;
    QObject::connect(named<QProgressBar>(*window, "FileSaveProgressBar"), &QProgressBar::valueChanged,
                     [&](int v) { progress.push_back(v); });

    pressOk(QString(), "90", "180");
    // The empty count reads "1"; the refused range leaves the dialog's fields as typed.
    EXPECT_EQ(options()->lineEdit_freamCount->text(), "1");
    ASSERT_EQ(texts(k740::Dialogs::Kind::SaveFile).size(), 1u);  // its name is a core test
    ASSERT_TRUE(room()->saving());

    // A second OK with a refused count (the checks are core tests) changes nothing.
    pressOk("0", "0", "360");
    EXPECT_EQ(texts(k740::Dialogs::Kind::Warning).size(), 1u);
    EXPECT_EQ(texts(k740::Dialogs::Kind::SaveFile).size(), 1u);
    EXPECT_EQ(room()->counter().requested(), 1);

    // Now three frames: OK again, this time with 3 (replacing the one-frame export).
    progress.clear();
    pressOk("3", "90", "180");
    EXPECT_EQ(room()->counter().requested(), 3);
    // While it runs the receiver keeps more frames for it than for drawing.
    EXPECT_GT(receiverOf(*window)->maxFramesInFlight(), 2);
    EXPECT_FALSE(named<QProgressBar>(*window, "FileSaveProgressBar")->isHidden());
    for (std::uint64_t k = 1; k <= 3; ++k) window->CalculateCoordinates(frame(k));
    // While the export ran nothing was drawn.
    EXPECT_TRUE(window->realTimeCloud().empty());
    EXPECT_FALSE(room()->saving());
    EXPECT_EQ(progress, (std::vector<int>{33, 66, 100}));

    // The completion message comes after the frame slot has returned.
    EXPECT_TRUE(texts(k740::Dialogs::Kind::Information).empty());
    ASSERT_TRUE(waitUntil([&] { return !texts(k740::Dialogs::Kind::Information).empty(); }, 5000));
    EXPECT_EQ(texts(k740::Dialogs::Kind::Information).back(), "The CSV file is saved successfully");
    EXPECT_TRUE(named<QProgressBar>(*window, "FileSaveProgressBar")->isHidden());
    EXPECT_EQ(receiverOf(*window)->maxFramesInFlight(), 2) << "drawing's slack again";

    EXPECT_EQ(readFile(path).toStdString(),
              "FreamID,Points_X,Points_Y,Points_Z,intensity,azimuth,distance,timestamp\n"
              "1,12,0,0,7,90,12.7,1\n1,141,-141,0,9,135,200,1\n"
              "2,12,0,0,7,90,12.7,2\n2,141,-141,0,9,135,200,2\n"
              "3,12,0,0,7,90,12.7,3\n3,141,-141,0,9,135,200,3\n");

    // The next frame is drawn again.
    window->CalculateCoordinates(frame(4));
    EXPECT_EQ(window->realTimeCloud().size(), 3u);
}

TEST_F(ExportPickTest, RevolutionsLostDuringAnExportAreNamedInsteadOfSaved) {
    ASSERT_TRUE(exposed);
    long long dropped = 5;  // before the export: not its loss
    std::vector<bool> keeping;
    room()->setLiveLink({[&] { return dropped; }, [&](bool on) { keeping.push_back(on); }});
    dialogs.answer.fileName = dir.filePath("lost.csv");
    pressOk("2", "0", "360");
    EXPECT_EQ(keeping, std::vector<bool>{true});
    window->CalculateCoordinates(frame(1));
    dropped += 3;  // the receiver could not hand over three revolutions
    window->CalculateCoordinates(frame(2));
    EXPECT_EQ(keeping, (std::vector<bool>{true, false}));
    ASSERT_TRUE(waitUntil([&] { return !texts(k740::Dialogs::Kind::Warning).empty(); }, 5000));
    EXPECT_TRUE(texts(k740::Dialogs::Kind::Warning).back().contains("3 revolutions"))
        << texts(k740::Dialogs::Kind::Warning).back().toStdString();
    EXPECT_TRUE(texts(k740::Dialogs::Kind::Information).empty()) << "never \"saved\" then";
}

TEST_F(ExportPickTest, ALiveExportWritesExactlyTheFramesThatArrivedInOrder) {
    ASSERT_TRUE(exposed);
    std::uint16_t dataPort = 0, devicePort = 0;
    std::string error;
    const auto sensor = startLoopbackSensor(&dataPort, &devicePort, 0, 600, &error);
    ASSERT_TRUE(sensor) << error;
    // After the window's own slot (connected first) has taken each frame: the frames the
    // export counted are the ones it handed to its writer.
    std::vector<LidarDataSingleLine> exported;
    int lastWritten = 0;
    QObject::connect(receiverOf(*window), &GetlidarData_1::SendData, room(),
                     [&](const LidarDataSingleLine& f) {
                         const int written = room()->counter().written();
                         if (written != lastWritten) exported.push_back(f);
                         lastWritten = written;
                     });
    named<QLineEdit>(*window, "lineEdit_portNumber")->setText(QString::number(dataPort));
    named<QLineEdit>(*window, "lineEdit")->setText(QString::number(devicePort));
    named<QToolButton>(*window, "toolButton_Lidar")->click();
    ASSERT_TRUE(window->liveRunning());
    ASSERT_TRUE(waitUntil([&] { return window->framesDrawn() > 0; }, 5000));

    const QString path = dir.filePath("live.csv");
    dialogs.answer.fileName = path;
    pressOk("6", "0", "360");
    ASSERT_TRUE(room()->saving());
    ASSERT_TRUE(waitUntil([&] { return !texts(k740::Dialogs::Kind::Information).empty(); }, 15000));
    EXPECT_EQ(texts(k740::Dialogs::Kind::Information).back(), "The CSV file is saved successfully");
    window->stopReceivers(2000);
    sensor->stop();

    ASSERT_EQ(exported.size(), 6u);
    std::ostringstream expected;
    k740::writeCsvHeader(expected);
    k740::CsvExportOptions o;
    o.protocol = named<QComboBox>(*window, "comboBox_agree")->currentIndex();
    o.viewMode = named<QComboBox>(*window, "comboBox_degree")->currentIndex();
    for (int i = 0; i < 6; ++i) k740::writeCsvFrame(expected, exported[i], i + 1, o);
    const QString text = readFile(path);
    EXPECT_GT(text.count('\n'), 6 * 1000);
    EXPECT_TRUE(text.toStdString() == expected.str()) << "the file differs from the frames shown";
}

TEST_F(ExportPickTest, CancelledOrUnopenableFileLeavesTheRunningExport) {
    ASSERT_TRUE(exposed);
    const QString path = dir.filePath("five.csv");
    dialogs.answer.fileName = path;
    pressOk("5", "0", "360");
    window->CalculateCoordinates(frame(1));
    ASSERT_EQ(room()->counter().written(), 1);

    dialogs.answer.fileName.clear();  // the save dialog cancelled
    pressOk("2", "10", "20");
    dialogs.answer.fileName = dir.filePath("no-such-folder/x.csv");
    pressOk("2", "10", "20");
    ASSERT_EQ(texts(k740::Dialogs::Kind::Critical).size(), 1u);
    EXPECT_TRUE(texts(k740::Dialogs::Kind::Critical)[0].startsWith(
        "The CSV file cannot be opened for writing"));
    EXPECT_EQ(dialogs.calls.back().title, "error");

    // The Cancel button of the options window only clears the request.
    options()->pushButton_cancel->click();
    EXPECT_FALSE(room()->saveRequested());

    EXPECT_TRUE(room()->saving());
    EXPECT_EQ(room()->counter().requested(), 5);
    EXPECT_EQ(room()->angleMax(), 360.0f);
    for (std::uint64_t k = 2; k <= 5; ++k) window->CalculateCoordinates(frame(k));
    EXPECT_FALSE(room()->saving());
    // The file is complete once the writer has closed it, which the message says.
    ASSERT_TRUE(waitUntil([&] { return !texts(k740::Dialogs::Kind::Information).empty(); }, 5000));
    EXPECT_EQ(texts(k740::Dialogs::Kind::Information).back(), "The CSV file is saved successfully");
    const QString text = readFile(path);
    EXPECT_EQ(text.count('\n'), 1 + 5 * 3);
    EXPECT_TRUE(text.contains(
        "2,12,0,0,7,90,12.7,2\n2,-68,-187,0,8,200,200,2\n2,141,-141,0,9,135,200,2\n"));
}

TEST_F(ExportPickTest, AnExportCutShortByClosingKeepsItsRowsUnderANameThatSaysSo) {
    ASSERT_TRUE(exposed);
    window->setAttribute(Qt::WA_QuitOnClose, false);  // the test's event loop goes on
    const QString path = dir.filePath("cut.csv");
    dialogs.answer.fileName = path;
    pressOk("300", "90", "180");
    ASSERT_TRUE(room()->saving());
    for (std::uint64_t k = 1; k <= 2; ++k) window->CalculateCoordinates(frame(k));

    window->close();
    EXPECT_FALSE(room()->saving());
    EXPECT_FALSE(QFile::exists(path)) << "an incomplete export must not pass for a whole one";
    EXPECT_EQ(readFile(dir.filePath("cut.incomplete.csv")).toStdString(),
              "FreamID,Points_X,Points_Y,Points_Z,intensity,azimuth,distance,timestamp\n"
              "1,12,0,0,7,90,12.7,1\n1,141,-141,0,9,135,200,1\n"
              "2,12,0,0,7,90,12.7,2\n2,141,-141,0,9,135,200,2\n");
    // A frame after the close is no row; no message box opens for a closed window.
    window->CalculateCoordinates(frame(3));
    QCoreApplication::processEvents();
    EXPECT_EQ(dialogs.calls.size(), 1u) << "only the save dialog";
}

TEST(ClosingTheWindow, EndsTheProgramWhileTheExportOptionsWindowIsOpen) {
    WindowFixtureBase fixture;
    ASSERT_TRUE(fixture.exposed);
    fixture.window->setAttribute(Qt::WA_QuitOnClose);  // as the program sets it
    SaveDataOptions* options = roomOf<k740::ExportRoom>(*fixture.window)->optionsDialog();
    bool blocked = false, requested = false;
    QTimer::singleShot(0, fixture.window.get(), [&] {
        putInMode(*fixture.window, k740::WindowMode::Live);
        named<QPushButton>(*fixture.window, "Btn_SaveCSV")->click();
        // The options window is application-modal: the toolkit itself would drop the request.
        blocked = QGuiApplication::modalWindow() == options->windowHandle();
        requested = requestCloseAsTheWindowManagerDoes(fixture.window.get());
        if (!requested) QCoreApplication::exit(2);
    });
    // A request sent from a second connection to the display now and then does not arrive
    // under Xvfb; the operator would click again, and so does the test.
    QTimer again;
    QObject::connect(&again, &QTimer::timeout, [&] {
        if (requested && fixture.window->isVisible()) requestCloseAsTheWindowManagerDoes(fixture.window.get());
    });
    again.start(1000);
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    giveUp.start(10000);
    const int code = QApplication::exec();
    giveUp.stop();
    again.stop();
    putInMode(*fixture.window, k740::WindowMode::Idle);
    if (!requested) GTEST_SKIP() << "no X11 window system to ask";
    EXPECT_TRUE(blocked);
    EXPECT_EQ(code, 0) << "the program would have run on behind the options window";
    EXPECT_FALSE(fixture.window->isVisible());
    EXPECT_FALSE(options->isVisible());
}

TEST_F(ExportPickTest, PausedDisplayExportsTheStoredFrameAtOnce) {
    ASSERT_TRUE(exposed);
    window->CalculateCoordinates(frame(42));
    putInMode(*window, k740::WindowMode::LivePaused);
    const QString path = dir.filePath("paused.csv");
    dialogs.answer.fileName = path;
    pressOk("10", "0", "180");
    // The stored frame with FreamID 1, whole centimetres by adding 0.5 before truncating
    // (12.7 -> 13, -141.4 -> -140).
    EXPECT_EQ(readFile(path).toStdString(),
              "FreamID,Points_X,Points_Y,Points_Z,intensity,azimuth,distance,timestamp\n"
              "1,13,0,0,7,90,12.7,42\n1,141,-140,0,9,135,200,42\n");
    EXPECT_FALSE(room()->saving());
    QTest::qWait(50);
    EXPECT_TRUE(texts(k740::Dialogs::Kind::Information).empty());
}

TEST_F(ExportPickTest, PickedRegionListsItsPointsAndMeasuresUntilClear) {
    ASSERT_TRUE(exposed);
    named<QComboBox>(*window, "comboBox_degree")->setCurrentIndex(1);  // exact centimetres
    // A post of four points near (100, 200) cm, and two far points.
    auto post = [](std::uint64_t stamp, double spread) {
        return makeFrame({{26.0, 4472.0, 1, stamp},
                          {26.5, 4472.0 + spread, 2, stamp},
                          {27.0, 4480.0, 3, stamp},
                          {27.5, 4490.0, 4, stamp},
                          {180.0, 2000.0, 5, stamp},
                          {300.0, 2000.0, 6, stamp}});
    };
    window->CalculateCoordinates(post(1, 0.0));
    const k740::Cloud before = window->realTimeCloud();
    ASSERT_EQ(before.size(), 6u);

    k740::PickingRoom* picking = roomOf<k740::PickingRoom>(*window);
    // Indices outside the cloud alone: nothing happens.
    picking->pickIndices({6, 99});
    EXPECT_FALSE(roomOf<k740::PickingRoom>(*window)->selection().active);

    picking->pickIndices({0, 1, 2, 3, 17});
    ASSERT_TRUE(roomOf<k740::PickingRoom>(*window)->selection().active);
    // Only the four points actually copied count, not the index past the cloud.
    EXPECT_EQ(picking->selection().pickedCount, 4);  // the box itself is a core test
    EXPECT_EQ(window->clickedCloud().size(), 4u);
    EXPECT_TRUE(picking->selection().readoutOn);
    // The stored frame's points in the box are listed: the four of the post.
    EXPECT_EQ(tableModelOf(*window)->rowCount(), 4);

    // Frames go on: the post's points are green and measured every 4 (= picked) points.
    window->CalculateCoordinates(post(2, 0.0));
    EXPECT_EQ(window->clickedCloud().size(), 4u);
    EXPECT_EQ(window->realTimeCloud().size(), 2u);
    EXPECT_TRUE(picking->statistics().text().empty());
    window->CalculateCoordinates(post(3, 0.0));
    EXPECT_EQ(picking->statistics().text().rfind("x_Min:", 0), 0u);
    EXPECT_NE(picking->statistics().text().find("\ny_Min:"), std::string::npos);
    EXPECT_TRUE(viewerOf(*window)->contains("0"));

    named<QToolButton>(*window, "toolButton_clear")->click();
    EXPECT_FALSE(roomOf<k740::PickingRoom>(*window)->selection().active);
    EXPECT_TRUE(picking->statistics().text().empty());
    EXPECT_EQ(picking->statistics().count(), 0);
    window->CalculateCoordinates(post(4, 0.0));
    EXPECT_EQ(window->realTimeCloud().size(), 6u);
}

TEST_F(ExportPickTest, SelectArmsAndDisarmsWithCursorAndReadout) {
    ASSERT_TRUE(exposed);
    named<QToolButton>(*window, "toolButton_selectCloud")->click();
    EXPECT_FALSE(roomOf<k740::PickingRoom>(*window)->selection().readoutOn);
    EXPECT_EQ(window->cursor().shape(), Qt::CrossCursor);
    named<QToolButton>(*window, "toolButton_selectCloud")->click();
    EXPECT_TRUE(roomOf<k740::PickingRoom>(*window)->selection().readoutOn);
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
}

}  // namespace

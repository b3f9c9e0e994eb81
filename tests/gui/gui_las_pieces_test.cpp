// The export's LAS choice and "Save frames…" on a shown window, through the form and the
// dialogs seam: a live export to LAS from the options window to its completion message, and
// a piece of an open capture saved and opened again.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QToolButton>

#include "app/export_room.h"
#include "app/playback_room.h"
#include "export/SaveDataOptions.h"
#include "export/SaveDataOptions_form.h"
#include "gui_test_support.h"
#include "playback/ReadLiveOffData.h"
#include "tests/core/capture_writer.h"

namespace {

class LasAndPieces : public ::testing::Test, public WindowFixtureBase {
protected:
    const k740::Dialogs::Request* last(k740::Dialogs::Kind kind) const {
        for (auto it = dialogs.calls.rbegin(); it != dialogs.calls.rend(); ++it)
            if (it->kind == kind) return &*it;
        return nullptr;
    }
    QTemporaryDir dir;
};

}  // namespace

TEST_F(LasAndPieces, TheOptionsWindowExportsLiveFramesToLas) {
    ASSERT_TRUE(exposed);
    Ui::SaveDataOptions* options = roomOf<k740::ExportRoom>(*window)->optionsDialog()->form();
    const QString path = dir.filePath("two.las");
    dialogs.answer.fileName = path;
    options->comboBox_format->setCurrentIndex(1);
    options->lineEdit_freamCount->setText("2");
    options->pushButton_ok->click();
    const k740::Dialogs::Request* save = last(k740::Dialogs::Kind::SaveFile);
    ASSERT_NE(save, nullptr);
    EXPECT_EQ(save->title, "Save LAS");
    EXPECT_TRUE(save->text.endsWith(".las")) << save->text.toStdString();
    ASSERT_TRUE(roomOf<k740::ExportRoom>(*window)->saving());

    // Two measured points a frame and an entry the carry-over zeroed, which is no point.
    for (std::uint64_t k = 1; k <= 2; ++k) {
        LidarDataSingleLine frame = makeFrame({{90.0, 63.5, 7, k}, {135.0, 1000.0, 9, k}, {0.0, 0.0, 0, 0}});
        frame.leftBehindBegin = 2;
        frame.leftBehindEnd = 3;
        window->CalculateCoordinates(frame);
    }
    ASSERT_TRUE(waitUntil([&] { return dialogs.saw("The LAS file is saved successfully"); }, 5000));
    EXPECT_EQ(QFileInfo(path).size(), 227 + 28 * 4);
}

TEST_F(LasAndPieces, SaveFramesWritesAPieceOfTheOpenFileThatOpensAgain) {
    ASSERT_TRUE(exposed);
    auto* saveFrames = window->findChild<QToolButton*>("toolButton_SaveFrames");
    ASSERT_NE(saveFrames, nullptr);
    EXPECT_TRUE(named<QWidget>(*window, "Tab_4")->isAncestorOf(saveFrames) && saveFrames->isVisibleTo(named<QWidget>(*window, "Tab_4")));  // Offline

    // Nothing open yet: refused by name.
    saveFrames->click();
    EXPECT_TRUE(dialogs.saw("Please open a capture file first"));

    const QString capture = dir.filePath("sweep.pcap");
    ASSERT_TRUE(k740test::writeFile(capture.toStdString(),
                                    k740test::captureBytes(k740test::sweepRecords(100),
                                                           k740test::CaptureFormat::PcapLittleMicro)));
    dialogs.answer.fileName = capture;
    named<QToolButton>(*window, "toolButton_Open")->click();
    ASSERT_EQ(roomOf<k740::PlaybackRoom>(*window)->fileName(), capture);
    const int frames = playerOf(*window)->frameCount();
    ASSERT_GE(frames, 5);
    named<QSlider>(*window, "Slider_Frame")->setValue(2);

    // The range proposed is the slider's frame and the file's last; the answer is 1..3.
    const QString piece = dir.filePath("piece.pcap");
    dialogs.calls.clear();
    dialogs.answer.fileName = piece;
    dialogs.answer.button = QMessageBox::Ok;
    dialogs.answer.first = 1;
    dialogs.answer.last = 3;
    saveFrames->click();
    const k740::Dialogs::Request* range = last(k740::Dialogs::Kind::FrameRange);
    ASSERT_NE(range, nullptr);
    EXPECT_EQ(range->first, 2);
    EXPECT_EQ(range->last, frames - 1);
    EXPECT_EQ(range->maximum, frames - 1);
    const k740::Dialogs::Request* save = last(k740::Dialogs::Kind::SaveFile);
    ASSERT_NE(save, nullptr);
    EXPECT_TRUE(save->text.endsWith("sweep-frames-1-3.pcap"))
        << save->text.toStdString();
    ASSERT_TRUE(dialogs.saw("Frames 1 to 3 are saved in", true));

    // The piece opens in the window (what it holds is the core tests' CaptureCut).
    dialogs.answer.fileName = piece;
    named<QToolButton>(*window, "toolButton_Open")->click();
    ASSERT_EQ(roomOf<k740::PlaybackRoom>(*window)->fileName(), piece);
    EXPECT_GE(playerOf(*window)->frameCount(), 3);
    EXPECT_LE(playerOf(*window)->frameCount(), 4);
}

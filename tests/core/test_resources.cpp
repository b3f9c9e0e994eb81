// The icon set: every icon the program names is compiled in or lies beside the programs,
// and loads as a picture of the size the forms expect.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QSet>
#include <QStringList>

#include <memory>

namespace {

// Compiled-in icons named by the forms, the main window and the dialogs.
const QStringList kCompiledIcons = {
    "kestrel-K740-P.png", "DataList.png", "Grid.png", "Coordinate.png", "Red.png", "Green.png",
    "select.png", "clear.png", "zhengshi.png", "fushi.png", "zuoshi.png", "OpenCaptureFile.png",
    "Gotostart.png", "Seekbackward.png", "Play.png", "Seekforward.png", "Gotostop.png",
    "Record.png", "InteractionSetUp.png", "AdvancedSetting.png", "Chanel.png", "Csv.png",
    "Measure_mentGrid.png", "Purple.png", "Color.png", "Yellow.png", "About.png", "User.png",
    "Develop.png", "Pause.png", "Sensor.png"};

// Loose icons loaded at run time relative to the program's directory.
const QStringList kLooseIcons = {
    "Resources/images/Play.png", "Resources/images/Pause.png",
    "Resources/images/Seekforward.png", "Resources/images/Seekforward_2x.png",
    "Resources/images/Seekforward_3x.png", "Resources/images/Seekforward_0.5x.png",
    "Resources/images/Seekforward_0.25x.png", "Resources/images/Seekbackward.png",
    "Resources/images/Seekbackward_2x.png", "Resources/images/Seekbackward_3x.png",
    "Resources/images/Seekbackward_0.5x.png", "Resources/images/Seekbackward_0.25x.png",
    "Resources/images/YES.png", "Resources/images/NO.png", "Resources/images/5.png",
    "Resources/images/10.png", "Resources/images/20.png", "Resources/image/kestrel.png",
    "Resources/image/Sensor.png", "Resources/image/InteractionSetUp.png",
    "Resources/image/AdvancedSetting.png"};

int expectedSize(const QString& name) { return name == "kestrel-K740-P.png" ? 128 : 64; }

// An icon must show something: some opaque pixels and some transparent corner around the badge.
void expectDrawn(const QImage& image, const QString& what) {
    ASSERT_FALSE(image.isNull()) << what.toStdString();
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << what.toStdString();
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            opaque += qAlpha(image.pixel(x, y)) == 255;
    EXPECT_GT(opaque, image.width() * image.height() / 2) << what.toStdString();
}

// Directory of the running test program; the loose icons are copied beside it.
QString programDir() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    static int argc = 1;
    static char name[] = "k740_core_tests";
    static char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    return QCoreApplication::applicationDirPath();
}

TEST(Icons, CompiledInIconsLoadAtTheirSize) {
    for (const QString& name : kCompiledIcons) {
        const QString path = ":/image/Resources/images/" + name;
        SCOPED_TRACE(path.toStdString());
        ASSERT_TRUE(QFile::exists(path));
        const QImage image(path);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.width(), expectedSize(name));
        EXPECT_EQ(image.height(), expectedSize(name));
        expectDrawn(image, path);
    }
}

TEST(Icons, LooseIconsLieBesideThePrograms) {
    const QDir dir(programDir());
    for (const QString& name : kLooseIcons) {
        const QString path = dir.filePath(name);
        SCOPED_TRACE(path.toStdString());
        ASSERT_TRUE(QFile::exists(path));
        const QImage image(path);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(64, 64));
        expectDrawn(image, path);
    }
}

// Icons a button swaps between must differ, or the operator cannot see the change.
TEST(Icons, SwappedIconsAreDistinct) {
    const QDir dir(programDir());
    const QStringList groups[] = {
        {"Seekforward.png", "Seekforward_2x.png", "Seekforward_3x.png", "Seekforward_0.5x.png",
         "Seekforward_0.25x.png", "Seekbackward.png", "Seekbackward_2x.png",
         "Seekbackward_3x.png", "Seekbackward_0.5x.png", "Seekbackward_0.25x.png"},
        {"Play.png", "Pause.png"},
        {"YES.png", "NO.png"},
        {"5.png", "10.png", "20.png"}};
    for (const QStringList& group : groups) {
        QSet<QByteArray> seen;
        for (const QString& name : group) {
            QFile file(dir.filePath("Resources/images/" + name));
            ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
            const QImage image = QImage::fromData(file.readAll()).convertToFormat(QImage::Format_ARGB32);
            const QByteArray pixels(reinterpret_cast<const char*>(image.constBits()),
                                    static_cast<int>(image.sizeInBytes()));
            EXPECT_FALSE(seen.contains(pixels)) << name.toStdString() << " repeats another icon";
            seen.insert(pixels);
        }
    }
    // The pause/play state dots of the display button differ too.
    EXPECT_NE(QImage(":/image/Resources/images/Red.png"), QImage(":/image/Resources/images/Green.png"));
}

}  // namespace

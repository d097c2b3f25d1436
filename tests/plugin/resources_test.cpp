// Resources through a module handle (platform/ui/resources.h) with the plug-in's own
// resources: registration, bitmaps and icons at 100 % and 200 %, missing ids, PNG files.

#include <QTemporaryDir>

#include "controls_test_support.h"

namespace controlstest {
namespace {

using ResourcesTest = ControlsTest;

TEST_F(ResourcesTest, TheModuleHandleFindsItsRoot) {
    EXPECT_EQ(platform::resourceRootOf(instance()), ":/lnkhold");
    EXPECT_EQ(platform::resourceRootOf(nullptr), "");
    HINSTANCE__ other{};
    EXPECT_EQ(platform::resourceRootOf(&other), "");

    platform::AFX_EXTENSION_MODULE module;
    EXPECT_FALSE(platform::AfxInitExtensionModule(module, nullptr, ":/lnkhold"));
    EXPECT_FALSE(platform::AfxInitExtensionModule(module, &other, ""));
    EXPECT_FALSE(module.bInitialized);
    ASSERT_TRUE(platform::AfxInitExtensionModule(module, &other, ":/lnkhold"));
    EXPECT_TRUE(module.bInitialized);
    EXPECT_EQ(module.hModule, &other);
    EXPECT_FALSE(platform::loadIconResource(&other, kHelp).isNull());
    platform::AfxTermExtensionModule(module);
    EXPECT_FALSE(module.bInitialized);
    EXPECT_EQ(platform::resourceRootOf(&other), "");
    EXPECT_TRUE(platform::loadIconResource(&other, kHelp).isNull());
    EXPECT_EQ(platform::resourceRootOf(instance()), ":/lnkhold") << "the other stays";
}

TEST_F(ResourcesTest, BitmapsAtTheirSizeTimesTheRatio) {
    const QPixmap background = platform::loadBitmapResource(instance(), kBackground);
    ASSERT_FALSE(background.isNull());
    EXPECT_EQ(background.size(), QSize(40, 40));
    EXPECT_EQ(background.devicePixelRatio(), 1.0);

    const QPixmap sharp = platform::loadBitmapResource(instance(), kBackground, 2.0);
    EXPECT_EQ(sharp.size(), QSize(80, 80));
    EXPECT_EQ(sharp.devicePixelRatio(), 2.0);
    EXPECT_EQ(sharp.deviceIndependentSize(), QSizeF(40, 40));

    const QPixmap about = platform::loadBitmapResource(instance(), kAboutPicture);
    EXPECT_EQ(about.size(), QSize(140, 180));
    EXPECT_TRUE(platform::loadBitmapResource(instance(), 9999).isNull());
    EXPECT_TRUE(platform::loadBitmapResource(instance(), kHelp).isNull()) << "an icon";
}

TEST_F(ResourcesTest, TheBackgroundTilesWithoutSeamsAndStaysLight) {
    const QImage tile = platform::loadBitmapResource(instance(), kBackground).toImage();
    // Every pixel light enough for black text; the grid is faint.
    for (int y = 0; y < tile.height(); ++y) {
        for (int x = 0; x < tile.width(); ++x) {
            EXPECT_GE(qGray(tile.pixel(x, y)), 215) << x << "," << y;
        }
    }
    // Only the first row and column carry the major line: the last ones continue the paper.
    EXPECT_EQ(tile.pixel(39, 20), tile.pixel(38, 20));
    EXPECT_EQ(tile.pixel(20, 39), tile.pixel(20, 38));
}

TEST_F(ResourcesTest, IconsAreSharpAtEveryScale) {
    EXPECT_EQ(platform::iconResourceSize(instance(), kHelp), QSize(16, 16));
    EXPECT_EQ(platform::iconResourceSize(instance(), kAbout), QSize(16, 16));
    EXPECT_EQ(platform::iconResourceSize(instance(), kTicked), QSize(13, 13));
    EXPECT_EQ(platform::iconResourceSize(instance(), kUnticked), QSize(13, 13));
    EXPECT_TRUE(platform::iconResourceSize(instance(), 9999).isEmpty());

    const QIcon help = platform::loadIconResource(instance(), kHelp);
    ASSERT_FALSE(help.isNull());
    const QPixmap at100 = help.pixmap(QSize(16, 16), 1.0);
    EXPECT_EQ(at100.size(), QSize(16, 16));
    const QPixmap at200 = help.pixmap(QSize(16, 16), 2.0);
    EXPECT_EQ(at200.size(), QSize(32, 32)) << "drawn anew, not scaled up";
    EXPECT_EQ(at200.devicePixelRatio(), 2.0);
    // Drawn at 200 %, the disc's edge is a clean curve of its own: pixel (16, 1) of the big
    // one lies on the rim, where the small one has only half a pixel.
    EXPECT_GT(qAlpha(at200.toImage().pixel(16, 1)), 200);

    EXPECT_TRUE(platform::loadIconResource(instance(), 9999).isNull());
    EXPECT_TRUE(platform::loadIconResource(instance(), kBackground).isNull()) << "a bitmap";
}

TEST_F(ResourcesTest, PngFilesServeWhereThereIsNoSvg) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QDir(folder.path()).mkpath("icon");
    QDir(folder.path()).mkpath("bitmap");
    QImage image(12, 10, QImage::Format_ARGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(folder.filePath("icon/5.png")));
    ASSERT_TRUE(image.save(folder.filePath("bitmap/6.png")));

    HINSTANCE__ module{};
    platform::AFX_EXTENSION_MODULE extension;
    ASSERT_TRUE(
        platform::AfxInitExtensionModule(extension, &module, folder.path().toUtf8().constData()));
    EXPECT_EQ(platform::iconResourceSize(&module, 5), QSize(12, 10));
    EXPECT_FALSE(platform::loadIconResource(&module, 5).isNull());
    const QPixmap bitmap = platform::loadBitmapResource(&module, 6, 2.0);
    EXPECT_EQ(bitmap.size(), QSize(24, 20));
    EXPECT_EQ(bitmap.devicePixelRatio(), 2.0);
    platform::AfxTermExtensionModule(extension);
}

}  // namespace
}  // namespace controlstest

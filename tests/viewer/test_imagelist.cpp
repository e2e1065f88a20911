// The image list: which files of the folder and its subfolders are listed, in what order.

#include "ImageList.h"
#include "Layout.h"
#include "Platform.h"

#include "QtPrinters.h"
#include "TempDir.h"
#include "Unprivileged.h"

#include <QDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using viewer::BuildImageList;
using viewer::ImageList;

namespace {

QStringList entries(const ImageList& list) {
    QStringList out;
    EXPECT_TRUE(list[0].isEmpty()) << "slot 0 stays empty";
    for (std::size_t i = 1; i < list.size() && !list[i].isEmpty(); ++i)
        out << list[i];
    return out;
}

TEST(PictureName, ExtensionOfTheLastFourCharacters) {
    for (const char* yes : {".gif", "FOTO.Jpg", "a.jpg", "b.BMP", "c.cur", "d.ico", "e.dib",
                            "f.gif", "g.emf", "h.WMF", "x.y.jpg"})
        EXPECT_TRUE(viewer::isPictureName(QString::fromUtf8(yes))) << yes;
    for (const char* no :
         {"foto.jpeg", "foto.jpg.txt", "a.b", "jpg", "fotojpg", "a.png", "a.JPG ", ""})
        EXPECT_FALSE(viewer::isPictureName(QString::fromUtf8(no))) << no;
}

class Walk : public testing::Test {
protected:
    TempDir tmp;
    rt::DosFileSystem files;
    ImageList list = viewer::emptyImageList();

    QString dos(const QString& rel = QString()) const {
        return rt::withBackslash(files.toDos(tmp.path(rel)).value());
    }

    // The walk into `list` all at once, and streamed with its listings in parallel: both
    // give the same pictures in the same order.
    void walk(const rt::DosFileSystem& fs, const QString& folder) {
        BuildImageList(fs, folder, list);
        rt::Worker walker(1);
        QFuture<QStringList> streamed = viewer::StreamImageList(
            fs, folder, walker, std::make_shared<rt::Worker>(viewer::ParallelListings));
        streamed.waitForFinished();
        QStringList all;
        for (const QStringList& batch : streamed.results())
            all += batch;
        EXPECT_EQ(all, entries(list)) << "streamed";
    }
};

TEST_F(Walk, ChosenFolderFirstThenDirectSubfoldersOnly) {
    tmp.folder("foto");
    tmp.file("foto/a.jpg");
    tmp.file("foto/b.txt");
    tmp.file("foto/c.GIF");
    tmp.file("foto/x/d.bmp");
    tmp.file("foto/x/y/e.jpg");
    tmp.folder("foto/z");
    walk(files, dos("foto"));
    EXPECT_EQ(entries(list), (QStringList{".\\a.jpg", ".\\c.GIF", "x\\d.bmp"}));
}

TEST_F(Walk, ListingOrderIsCaseInsensitiveFolderByFolder) {
    tmp.file("f/B.jpg");
    tmp.file("f/a.JPG");
    tmp.file("f/Zeta/2.gif");
    tmp.file("f/alfa/1.wmf");
    tmp.file("f/alfa/0.Emf");
    walk(files, dos("f"));
    EXPECT_EQ(entries(list),
              (QStringList{".\\a.JPG", ".\\B.jpg", "alfa\\0.Emf", "alfa\\1.wmf", "Zeta\\2.gif"}));
}

TEST_F(Walk, HiddenEntriesContributeNothing) {
    tmp.file("f/.nascosta/a.jpg");
    tmp.file("f/.b.jpg");
    tmp.file("f/c.jpg");
    walk(files, dos("f"));
    EXPECT_EQ(entries(list), QStringList{".\\c.jpg"});
}

TEST_F(Walk, MissingFolderOrFolderWithoutBackslashFindsNothing) {
    tmp.file("f/a.jpg");
    walk(files, dos("non-esiste"));
    EXPECT_TRUE(entries(list).isEmpty());
    // Without its final "\" the folder's content is not listed.
    QString noSlash = dos("f");
    noSlash.chop(1);
    walk(files, noSlash);
    EXPECT_TRUE(entries(list).isEmpty());
}

TEST_F(Walk, UnreadableSubfolderIsSkipped) {
    tmp.file("f/a/1.jpg");
    tmp.file("f/b/2.jpg");
    ASSERT_EQ(::chmod(QFile::encodeName(tmp.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(tmp.path("f/a")).constData(), 0), 0);
    const int result = runUnprivileged([&] {
        walk(files, dos("f"));
        return entries(list) == QStringList{"b\\2.jpg"} ? 0 : 1;
    });
    ::chmod(QFile::encodeName(tmp.path("f/a")).constData(), 0755);
    EXPECT_EQ(result, 0);
}

TEST_F(Walk, DriveRootIsSearchedItselfFirst) {
    tmp.file("stick/radice.jpg");
    tmp.file("stick/vacanze/mare.jpg");
    rt::DosFileSystem withStick(
        rt::DriveTable({{'C', "/", "/"}, {'D', tmp.path("stick"), "stick"}}));
    walk(withStick, QStringLiteral("D:\\"));
    EXPECT_EQ(entries(list), (QStringList{".\\radice.jpg", "vacanze\\mare.jpg"}));
}

TEST_F(Walk, OnlyTheFirst999SubfoldersAreSearched) {
    // 1200 subfolders, each with one picture: "." takes slot 1, so 999 subfolders fit.
    for (int i = 0; i < 1200; ++i)
        tmp.file(QStringLiteral("f/d%1/p.jpg").arg(i, 4, 10, QChar('0')));
    tmp.file("f/root.jpg");
    walk(files, dos("f"));
    const QStringList got = entries(list);
    ASSERT_EQ(got.size(), 1 + 999);
    EXPECT_EQ(got.first(), ".\\root.jpg");
    EXPECT_EQ(got.last(), "d0998\\p.jpg");
}

TEST_F(Walk, AFolderThatVanishesMidWalkIsSkipped) {
    for (int i = 0; i < 30; ++i)
        tmp.file(QStringLiteral("f/d%1/p.jpg").arg(i, 2, 10, QChar('0')));
    tmp.file("f/root.jpg");
    QStringList got;
    rt::Worker listers(viewer::ParallelListings);
    viewer::WalkImageList(files, dos("f"), &listers, [&](const QStringList& entries) {
        // The first folder handed over: d20 is not listed yet, and goes now.
        if (got.isEmpty()) {
            EXPECT_TRUE(QDir(tmp.path("f/d20")).removeRecursively());
        }
        got += entries;
        return true;
    });
    ASSERT_EQ(got.size(), 30);
    EXPECT_EQ(got.first(), ".\\root.jpg");
    EXPECT_FALSE(got.contains("d20\\p.jpg"));
    EXPECT_EQ(got.last(), "d29\\p.jpg");
}

TEST_F(Walk, AFullListKeepsTheFirst9999Pictures) {
    for (int i = 0; i < 10005; ++i)
        tmp.file(QStringLiteral("f/%1.jpg").arg(i, 5, 10, QChar('0')));
    walk(files, dos("f"));
    ASSERT_EQ(list.size(), std::size_t(viewer::ImageListSlots));
    EXPECT_TRUE(list[0].isEmpty());
    EXPECT_EQ(list[1], ".\\00000.jpg");
    EXPECT_EQ(list[9999], ".\\09998.jpg");
}

// The start screen on a 960 x 720 twip screen with a 48-twip caption and a 240-twip picture.
TEST(StartLayout, CentredBelowTheCaptionBand) {
    const viewer::StartLayout l = viewer::startLayout(960, 720, 300, 48, 240, 240);
    EXPECT_FLOAT_EQ(l.imageTop, 264);
    EXPECT_FLOAT_EQ(l.imageLeft, 360);
    EXPECT_FLOAT_EQ(l.labelTop, 112);
    EXPECT_FLOAT_EQ(l.labelLeft, 330);
}

TEST(StartLayout, HalvesRoundToEvenThenTruncate) {
    struct Case {
        float screenW, imageW, left;
    } cases[] = {{961, 240, 360}, {960.5f, 240, 360}, {961.5f, 240, 361}, {100, 240, -70}};
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(viewer::startLayout(c.screenW, 720, 0, 48, c.imageW, 240).imageLeft, c.left)
            << c.screenW;
}

} // namespace

#include "DupWindowFixture.h"
#include "finders/PictureSearch.h"
#include "finders/TfrmDupCompare.h"
#include "support/PictureScenes.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QTimer>

#include <atomic>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace {
class DupPictures : public DupWindow {
protected:
    Navigation::Registration pairsTarget{Navigation::Target::ComparePairs, [](const Navigation::Request &r) {
                                             return TfrmDupCompare::showFor(qobject_cast<TfrmDup *>(r.from));
                                         }};

    void TearDown() override
    {
        TfrmDupCompare::instance().hide();
        DupWindow::TearDown();
    }
    std::string picture(const std::string &rel, const QByteArray &bytes)
    {
        return t.file(rel, bytes.toStdString());
    }
    // "Similar pictures" chosen, every size.
    static void choose(TfrmDup &w)
    {
        bytes(w, w.rbLarger, 0);
        w.cbDup->setCurrentIndex(8);
    }
    static constexpr int kTypeColumn = 6;
};
}

// One photo's copies at other sizes, qualities and formats, and turned by
// its EXIF orientation, form one group led by the copy most worth keeping;
// another photo stays out; a second name of one file counts once; a cut
// JPEG and text named .jpg are skipped and counted; each row tells its
// pixel size.
TEST_F(DupPictures, CopiesOfAPhotoAreOneGroupBestFirst)
{
    const QImage photo = scenes::scene(11, 960, 640);
    const QByteArray jpeg = scenes::encode(photo, "JPEG", 92);
    const std::string original = picture("D/photos/beach.jpg", jpeg);
    ASSERT_EQ(::link(original.c_str(), t.path("D/photos/beach-link.jpg").c_str()), 0);
    picture("D/export/beach-small.JPG", scenes::encode(scenes::scaled(photo, 0.5), "JPEG", 85));
    picture("D/export/beach-q60.jpeg", scenes::encode(photo, "JPEG", 60));
    picture("D/png/beach.png", scenes::encode(photo, "PNG"));
    picture("D/phone/beach-turned.jpg", scenes::turnedByExif(photo, 80));
    picture("D/other/forest.jpg", scenes::encode(scenes::scene(12, 960, 640), "JPEG"));
    picture("D/broken/cut.jpg", jpeg.left(jpeg.size() / 2));
    t.file("D/fake/notes.jpg", std::string(3000, 'x'));
    picture("D/tiny.png", scenes::encode(scenes::scene(1, 8, 8), "PNG")); // below the minimum: not looked at
    t.file("D/readme.txt", std::string(5000, 'r'));
    open(true, [&](TfrmDup &w) {
        EXPECT_FALSE(w.cbSimilar->isVisible());
        choose(w);
        EXPECT_EQ(w.cbDup->currentText(), "Similar pictures");
        EXPECT_TRUE(w.cbSimilar->isVisible());
        EXPECT_FALSE(w.btForget->isVisible());
        EXPECT_EQ(w.cbSimilar->currentText(), "Very similar");
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        EXPECT_EQ(w.criterion(), 8);
        const ResultGridModel &m = *w.grid->gridModel();
        ASSERT_EQ(w.grid->rowsFilled(), 5) << column(w, 0).join(',').toStdString();
        QStringList names = column(w, 0);
        // Full size first, the larger file (the PNG) before the JPEGs;
        // the half-size copy last.
        EXPECT_EQ(names.front(), "beach.png");
        EXPECT_EQ(names.back(), "beach-small.JPG");
        EXPECT_EQ(names.count("beach.jpg") + names.count("beach-link.jpg"), 1);
        EXPECT_TRUE(names.contains("beach-q60.jpeg") && names.contains("beach-turned.jpg"));
        for (int r = 1; r <= 4; ++r) {
            EXPECT_EQ(m.fileKey(r), m.fileKey(5));
            EXPECT_TRUE(cell(w, r, kTypeColumn).endsWith(QStringLiteral(", 960 \u00d7 640")))
                << cell(w, r, kTypeColumn).toStdString();
        }
        EXPECT_TRUE(cell(w, 5, kTypeColumn).endsWith(QStringLiteral("480 \u00d7 320")));
        EXPECT_EQ(w.pnlSel->text(),
                  "5 duplicates found, 2 files were skipped: not pictures that can be read, or damaged");

        // Another criterion takes the forget button back.
        w.cbDup->setCurrentIndex(7);
        EXPECT_FALSE(w.cbSimilar->isVisible());
        EXPECT_TRUE(w.btForget->isVisible());
    });
    EXPECT_TRUE(dialogs.boxes.empty());
}

// A picture rewritten between its reading and the check after it is left
// out and said so; its twin, now alone, is not listed.
TEST_F(DupPictures, APictureChangedWhileReadIsLeftOut)
{
    const QImage photo = scenes::scene(21, 640, 480);
    picture("D/a/big.jpg", scenes::encode(photo, "JPEG"));
    const std::string small = picture("D/b/small.jpg", scenes::encode(scenes::scaled(photo, 0.5), "JPEG"));
    open(true, [&](TfrmDup &w) {
        choose(w);
        w.pictureSearchStarting = [&](PictureSearch &s) {
            s.afterRead = [&](size_t i) {
                if (s.path(uint32_t(i)) == small)
                    std::ofstream(small, std::ios::app) << "more";
            };
        };
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        EXPECT_EQ(w.grid->rowsFilled(), 0);
        EXPECT_EQ(w.pnlSel->text(), "1 file was left out: it changed or went away while compared");
    });
}

TEST_F(DupPictures, AbortWhileComparingLeavesTheGridEmptyAndTheWindowUsable)
{
    const QByteArray jpeg = scenes::encode(scenes::scene(31, 320, 240), "JPEG");
    for (int i = 0; i < 12; ++i)
        picture("D/p" + std::to_string(i) + ".jpg", jpeg);
    open(true, [&](TfrmDup &w) {
        choose(w);
        std::atomic<bool> midway{false};
        w.pictureSearchStarting = [&](PictureSearch &s) {
            s.afterRead = [&s, &midway](size_t) {
                midway = true;
                while (!s.cancelled())
                    std::this_thread::yield();
            };
        };
        QString during;
        QTimer poll;
        poll.setInterval(0);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!midway || !w.btAbort->isVisible())
                return;
            during = w.pnlSel->text();
            QTest::mouseClick(w.btAbort, Qt::LeftButton);
        });
        poll.start();
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        poll.stop();
        EXPECT_TRUE(during.startsWith("Comparing pictures: ")) << during.toStdString();
        EXPECT_EQ(w.grid->rowsFilled(), 0);
        EXPECT_TRUE(w.pnlSel->text().isEmpty());
        EXPECT_TRUE(w.btScan->isEnabled() && w.btClose->isEnabled() && w.cbDup->isEnabled());
        EXPECT_EQ(dialogs.texts(), (std::vector<QString>{"LIST INCOMPLETE ... ABORTED BY USER"}));
        w.pictureSearchStarting = {};
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        EXPECT_EQ(w.grid->rowsFilled(), 12);
    });
}

// The pair window shows two similar pictures side by side with their sizes
// and how alike they are; a pair that is not two pictures hides the panel.
TEST_F(DupPictures, ThePairWindowShowsBothPicturesAndTheirLikeness)
{
    const QImage photo = scenes::scene(41, 800, 600);
    picture("D/a/photo.jpg", scenes::encode(photo, "JPEG", 92));
    picture("D/b/photo-half.jpg", scenes::encode(scenes::scaled(photo, 0.5), "JPEG", 70));
    t.file("D/c/one.txt", "same text");
    t.file("D/d/two.txt", "same text");
    TfrmDupCompare &pairs = TfrmDupCompare::instance();
    open(true, [&](TfrmDup &w) {
        choose(w);
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        ASSERT_EQ(w.grid->rowsFilled(), 2);
        w.grid->setSelectedRow(1);
        QTest::mouseClick(w.btCompare, Qt::LeftButton);
        ASSERT_TRUE(pairs.isVisible());
        EXPECT_TRUE(pairs.pnlPictures->isVisible());
        EXPECT_EQ(pairs.GroupBox[0]->title(), "photo.jpg");
        EXPECT_TRUE(pairs.lblPixels[0]->text().startsWith(QStringLiteral("800 \u00d7 600 pixels, ")));
        EXPECT_TRUE(pairs.lblPixels[1]->text().startsWith(QStringLiteral("400 \u00d7 300 pixels, ")));
        EXPECT_TRUE(pairs.lblPixels[1]->text().endsWith(" bytes"));
        const QPixmap left = pairs.imgPicture[0]->pixmap();
        EXPECT_EQ(left.size(), QSize(320, 240));
        EXPECT_TRUE(pairs.lblSimilarity->text().startsWith("Similarity: ")) << pairs.lblSimilarity->text().toStdString();
        // The byte comparison still works on pictures.
        QTest::mouseClick(pairs.btCompute, Qt::LeftButton);
        EXPECT_TRUE(pairs.lblCRC[0]->text().endsWith(" file contents differ"));

        w.cbDup->setCurrentIndex(7);
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        ASSERT_EQ(w.grid->rowsFilled(), 2);
        w.grid->setSelectedRow(1);
        QTest::mouseClick(w.btCompare, Qt::LeftButton);
        EXPECT_FALSE(pairs.pnlPictures->isVisible());
    });
}

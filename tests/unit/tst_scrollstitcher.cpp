// The scrolling capture's search and stitch on synthetic pictures: the outcome and the stitched
// pixels equal the definition's (counted pixel by pixel, painted step by step), at both ends, on
// random pictures full of repeated and near rows, and for a 40,000-row page stitched in steps.
#include "recorders/scrollstitcher.h"
#include "scrollreference.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cstring>

using ScrollSearch::Match;
using ScrollSearch::Outcome;

Q_DECLARE_METATYPE(ScrollSearch::Outcome)

namespace {

constexpr int kWidth = 40;

// Rows that differ from each other in every pixel: the row number is in red and green.
QImage page(int rows, int width = kWidth)
{
    QImage image(width, rows, QImage::Format_RGB32);
    for (int y = 0; y < rows; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb(y & 0xff, (y >> 8) & 0xff, (x * 7) & 0xff);
    }
    return image;
}

QImage rows(const QImage &image, int first, int count)
{
    return image.copy(0, first, image.width(), count);
}

// A row changed in a fifth of its pixels, as a blinking caret changes a line of text: a near pair.
QImage withCaret(QImage image, int row)
{
    auto *line = reinterpret_cast<QRgb *>(image.scanLine(row));
    for (int x = 0; x < image.width() / 5; ++x)
        line[x] = qRgb(1, 2, 3);
    return image;
}

QImage withForeignRow(QImage image, int row)
{
    auto *line = reinterpret_cast<QRgb *>(image.scanLine(row));
    for (int x = 0; x < image.width(); ++x)
        line[x] = qRgb(250, 250, 250 - x);
    return image;
}

bool sameRows(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return false;
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y), size_t(a.width()) * 4) != 0)
            return false;
    return true;
}

} // namespace

class TestScrollStitcher : public QObject
{
    Q_OBJECT

private slots:
    // One grab against the picture so far; the expected picture is checked when given.
    void searchAndStitch_data()
    {
        QTest::addColumn<QImage>("stitched");
        QTest::addColumn<QImage>("grab");
        QTest::addColumn<int>("direction");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<int>("shift");
        QTest::addColumn<QImage>("expected");

        const QImage c = page(800);
        QTest::newRow("99 rows, moved by 10: never verified")
            << rows(c, 0, 99) << rows(c, 10, 99) << -1 << Outcome::NoFit << 0 << QImage();
        QTest::newRow("100 rows, unmoved") << rows(c, 0, 100) << rows(c, 0, 100) << -1 << Outcome::Same << 0 << QImage();
        QTest::newRow("100 rows, moved by 1") << rows(c, 0, 100) << rows(c, 1, 100) << -1 << Outcome::NoFit << 0 << QImage();
        QTest::newRow("101 rows, moved up by 1")
            << rows(c, 0, 101) << rows(c, 1, 101) << -1 << Outcome::Found << 1 << rows(c, 0, 102);
        QTest::newRow("600 rows, down by 120")
            << rows(c, 0, 600) << rows(c, 120, 600) << -1 << Outcome::Found << 120 << rows(c, 0, 720);
        QTest::newRow("600 rows, back up by 120: the top is there")
            << rows(c, 0, 720) << rows(c, 0, 600) << 1 << Outcome::Same << 0 << QImage();
        QTest::newRow("600 rows, down by 120 again")
            << rows(c, 0, 720) << rows(c, 120, 600) << -1 << Outcome::Same << 0 << QImage();
        QTest::newRow("300 rows, up by 80: new rows on top")
            << rows(c, 200, 300) << rows(c, 120, 300) << 2 << Outcome::Found << 80 << rows(c, 120, 380);
        QTest::newRow("moved the other way than told")
            << rows(c, 200, 300) << rows(c, 120, 300) << -1 << Outcome::NoFit << 0 << QImage();
        QTest::newRow("unrelated content") << rows(c, 0, 300) << page(300).mirrored() << -1 << Outcome::NoFit << 0 << QImage();

        // S counted from the bottom: row 299 - i.  A caret 40 rows up, after 39 exact rows, is skipped.
        QTest::newRow("near row after 30 exact rows")
            << withCaret(rows(c, 0, 300), 259) << rows(c, 50, 300) << -1 << Outcome::Found << 50
            << withCaret(rows(c, 0, 350), 259);
        // Carets every 25 rows never let 30 exact rows run in the first pass; the second pass
        // starts on one; the third is past them and its grab rows overwrite them.
        QImage carets = rows(c, 0, 300);
        for (int i : {25, 50, 75})
            carets = withCaret(carets, 299 - i);
        QTest::newRow("near rows every 25 rows, found by the third pass")
            << carets << rows(c, 50, 300) << -1 << Outcome::Found << 50 << rows(c, 0, 350);
        QImage everywhere = rows(c, 0, 300);
        for (int y = 299 - 25; y >= 0; y -= 25)
            everywhere = withCaret(everywhere, y);
        QTest::newRow("near rows every 25 rows throughout: no fit")
            << everywhere << rows(c, 50, 300) << -1 << Outcome::NoFit << 0 << QImage();
        // The bottom row is not on the page any more (a status line that changed): the second
        // pass fits, and the grab replaces the picture's last 50 rows.
        QTest::newRow("edge row changed, second pass")
            << withForeignRow(rows(c, 0, 300), 299) << rows(c, 30, 300) << -1 << Outcome::Found << 30
            << rows(c, 0, 330);
        QTest::newRow("top row changed, second pass, rows on top")
            << withForeignRow(rows(c, 100, 300), 0) << rows(c, 70, 300) << 1 << Outcome::Found << 30
            << rows(c, 70, 330);
        QTest::newRow("another width") << rows(c, 0, 300) << rows(page(800, kWidth + 1), 0, 300) << -1
                                       << Outcome::NoFit << 0 << QImage();
    }

    void searchAndStitch()
    {
        QFETCH(QImage, stitched);
        QFETCH(QImage, grab);
        QFETCH(int, direction);
        QFETCH(Outcome, outcome);
        QFETCH(int, shift);
        QFETCH(QImage, expected);

        ScrollStitcher stitcher{ScrollSearch::Thresholds()};
        stitcher.restart(stitched);
        const Match match = stitcher.add(grab, direction);
        QCOMPARE(match.outcome, outcome);
        if (outcome == Outcome::Found)
            QCOMPARE(match.shift(), shift);
        if (grab.width() == stitched.width()) {
            const Match reference = ScrollReference::search(stitched, grab, direction);
            QCOMPARE(match.outcome, reference.outcome);
            QCOMPARE(match.base, reference.base);
            QCOMPARE(match.g0, reference.g0);
        }
        const QImage result = stitcher.image();
        if (outcome != Outcome::Found) {
            QVERIFY(sameRows(result, stitched));
            return;
        }
        const QImage painted = ScrollReference::stitch(stitched, grab, direction, match);
        QVERIFY(sameRows(result, painted));
        if (!expected.isNull())
            QVERIFY(sameRows(result, expected));
    }

    // Random pictures built from a few row patterns, with single-pixel changes, so that repeated
    // anchors, near rows and runs cut short are common; random thresholds.  The search and the
    // stitch must agree with the definition on every one.
    void randomPicturesAgreeWithTheDefinition()
    {
        QRandomGenerator random(1307);
        int found = 0, same = 0, noFit = 0;
        for (int round = 0; round < 400; ++round) {
            const int width = 5 + random.bounded(8);
            QVector<QVector<QRgb>> patterns(2 + random.bounded(3), QVector<QRgb>(width));
            for (auto &pattern : patterns)
                for (QRgb &pixel : pattern)
                    pixel = qRgb(random.bounded(2) * 200, 0, 0);
            const auto makeRow = [&](QRgb *line) {
                const QVector<QRgb> &pattern = patterns[random.bounded(patterns.size())];
                std::copy(pattern.begin(), pattern.end(), line);
                if (random.bounded(4) == 0)
                    line[random.bounded(width)] ^= 0x00ff00;
            };
            const int grabHeight = 20 + random.bounded(120);
            QImage page(width, grabHeight + 40 + random.bounded(80), QImage::Format_RGB32);
            for (int y = 0; y < page.height(); ++y)
                makeRow(reinterpret_cast<QRgb *>(page.scanLine(y)));
            const int direction = random.bounded(2) ? 1 : -1;
            const QRect kept = direction < 0 ? QRect(0, 0, width, grabHeight + random.bounded(10))
                                             : QRect(0, page.height() - grabHeight - 5, width, grabHeight + 5);
            const QImage stitched = page.copy(kept);
            // a quarter of the grabs show the picture's own edge again
            const int offset = random.bounded(4) == 0 ? (direction < 0 ? kept.bottom() + 1 - grabHeight : kept.top())
                                                      : random.bounded(page.height() - grabHeight + 1);
            QImage grab = page.copy(0, offset, width, grabHeight);
            if (random.bounded(3) == 0)
                makeRow(reinterpret_cast<QRgb *>(grab.scanLine(random.bounded(grabHeight))));

            ScrollSearch::Thresholds t;
            t.rowsToVerify = 2 + random.bounded(15);
            t.exactRunNeeded = random.bounded(8);
            t.exactThreshold = random.bounded(3) ? 1.0 : 0.75 + random.bounded(20) / 100.0;
            t.nearThreshold = 0.4 + random.bounded(40) / 100.0;

            ScrollStitcher stitcher(t);
            stitcher.restart(stitched);
            const Match match = stitcher.add(grab, direction);
            const Match reference = ScrollReference::search(stitched, grab, direction, t);
            const QByteArray where = "round " + QByteArray::number(round);
            QVERIFY2(match.outcome == reference.outcome && match.base == reference.base && match.g0 == reference.g0,
                     where);
            if (match.outcome == Outcome::Found) {
                ++found;
                QVERIFY2(sameRows(stitcher.image(), ScrollReference::stitch(stitched, grab, direction, match)), where);
            } else {
                (match.outcome == Outcome::Same ? same : noFit)++;
            }
        }
        // the rounds reach every outcome
        QVERIFY2(found > 20 && same > 20 && noFit > 20,
                 qPrintable(QString("found %1, same %2, no fit %3").arg(found).arg(same).arg(noFit)));
    }

    // A 40,000-row page scrolled through a 300-row region, down from the top and up from the
    // bottom: the picture is the page, past the rows a painter could address.
    void tallPage_data()
    {
        QTest::addColumn<int>("direction");
        QTest::newRow("down") << -1;
        QTest::newRow("up") << 1;
    }

    void tallPage()
    {
        QFETCH(int, direction);
        constexpr int kRows = 40000, kRegion = 300, kStep = 137;
        const QImage content = page(kRows, 24);
        ScrollStitcher stitcher{ScrollSearch::Thresholds()};
        int top = direction < 0 ? 0 : kRows - kRegion;
        stitcher.restart(rows(content, top, kRegion));
        while (direction < 0 ? top < kRows - kRegion : top > 0) {
            top = qBound(0, top - direction * kStep, kRows - kRegion);
            const Match match = stitcher.add(rows(content, top, kRegion), direction);
            QVERIFY2(match.outcome == Outcome::Found, qPrintable(QString::number(top)));
        }
        const QImage result = stitcher.image();
        QCOMPARE(result.height(), kRows);
        QVERIFY(sameRows(result, content));
    }
};

QTEST_MAIN(TestScrollStitcher)
#include "tst_scrollstitcher.moc"

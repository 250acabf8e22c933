// The GIF encoder: the file's bytes, what giflib's reader gets back, the
// changed rectangle, the index remap, delays, paths and cancelled recordings.
#include "gifreader.h"
#include "recorders/gifencoder.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QImage pattern(const QSize &size, quint32 seed, bool manyColours = true)
{
    QRandomGenerator random(seed);
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, manyColours ? qRgb(x * 7, y * 5, int(random.bounded(256)))
                                             : qRgb(int(random.bounded(3)) * 100, 0, 50));
    return image;
}

QImage changed(QImage image, const QVector<QPoint> &pixels)
{
    for (const QPoint &p : pixels)
        image.setPixel(p, image.pixel(p) ^ 0x00010000);
    return image;
}

// The indices of a frame as the file must hold them: the colour of each pixel
// searched in the table, first match, 255 when absent.
QByteArray expectedIndices(const QImage &indexed)
{
    const QVector<QRgb> table = indexed.colorTable();
    QByteArray indices;
    for (int y = 0; y < indexed.height(); ++y)
        for (int x = 0; x < indexed.width(); ++x) {
            const int at = table.indexOf(indexed.pixelIndex(x, y) < table.size() ? table[indexed.pixelIndex(x, y)] : 0);
            indices.append(char(at < 0 || at > 255 ? 255 : at));
        }
    return indices;
}

QByteArray bytes(const char *data, int size) { return QByteArray(data, size); }

} // namespace

class TestGifEncoder : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString file(const QString &name) { return m_dir.filePath(name); }

private slots:
    void changedRect_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QVector<QPoint>>("pixels");
        QTest::addColumn<QRect>("rect");
        QTest::newRow("identical") << QSize(9, 7) << QVector<QPoint>{} << QRect();
        QTest::newRow("bottom-right pixel") << QSize(9, 7) << QVector<QPoint>{{8, 6}} << QRect(8, 6, 1, 1);
        QTest::newRow("pixel 0,0") << QSize(9, 7) << QVector<QPoint>{{0, 0}} << QRect(0, 0, 1, 1);
        QTest::newRow("1x1 region") << QSize(1, 1) << QVector<QPoint>{{0, 0}} << QRect(0, 0, 1, 1);
        QTest::newRow("left and right from different rows")
            << QSize(9, 7) << QVector<QPoint>{{5, 1}, {2, 3}, {7, 3}, {4, 5}} << QRect(QPoint(2, 1), QPoint(7, 5));
        QTest::newRow("equal rows between") << QSize(9, 7) << QVector<QPoint>{{6, 0}, {1, 6}} << QRect(QPoint(1, 0), QPoint(6, 6));
    }
    void changedRect()
    {
        QFETCH(QSize, size);
        QFETCH(QVector<QPoint>, pixels);
        QFETCH(QRect, rect);
        const QImage before = pattern(size, 1);
        QCOMPARE(GifFrames::changedRect(changed(before, pixels), before), rect);
    }

    // Random changes against the plain pixel-by-pixel bounding box.
    void changedRectMatchesPixelScan()
    {
        QRandomGenerator random(7);
        const QImage before = pattern(QSize(40, 30), 2);
        for (int round = 0; round < 300; ++round) {
            QVector<QPoint> pixels;
            for (int n = int(random.bounded(4)); n > 0; --n)
                pixels.append(QPoint(int(random.bounded(40)), int(random.bounded(30))));
            QRect box;
            for (const QPoint &p : pixels)
                box |= QRect(p, QSize(1, 1));
            QCOMPARE(GifFrames::changedRect(changed(before, pixels), before), box);
        }
        QImage alphaOnly = before;
        reinterpret_cast<quint32 *>(alphaOnly.scanLine(4))[3] &= 0x00FFFFFF; // differs as a 32-bit value
        QCOMPARE(GifFrames::changedRect(alphaOnly, before), QRect(3, 4, 1, 1));
        QCOMPARE(GifFrames::changedRect(before, before.copy(0, 0, 39, 30)), before.rect());
    }

    void indexRemap_data()
    {
        QTest::addColumn<QVector<QRgb>>("table");
        QTest::newRow("duplicates") << QVector<QRgb>{0xff0000ff, 0xff00ff00, 0xff0000ff, 0xffffffff, 0xff00ff00, 0xff0000ff};
        QTest::newRow("all alike") << QVector<QRgb>(256, 0xff123456);
        QTest::newRow("transparent black, short") << QVector<QRgb>{0xff000000, 0xffabcdef, 0x00000000, 0x00000000};
        QTest::newRow("short without black") << QVector<QRgb>{0xffabcdef};
        QVector<QRgb> wide;
        for (int i = 0; i < 256; ++i)
            wide.append(qRgb(i % 37, i % 5, 0)); // colours repeat in irregular runs
        QTest::newRow("256 repeating") << wide;
    }
    void indexRemap()
    {
        QFETCH(QVector<QRgb>, table);
        const std::array<uchar, 256> remap = GifFrames::indexRemap(table);
        for (int i = 0; i < 256; ++i) {
            const int at = table.indexOf(i < table.size() ? table[i] : 0); // Qt's colour for an index past the table
            QCOMPARE(int(remap[size_t(i)]), at < 0 ? 255 : at);
        }

        // The same through the file: an indexed frame is written as the search gives it.
        QImage indexed(16, 16, QImage::Format_Indexed8);
        indexed.setColorTable(table);
        for (int i = 0; i < 256; ++i)
            indexed.setPixel(i % 16, i / 16, uint(i % table.size()));
        GifEncoder encoder(6, 1);
        QVERIFY(encoder.open(file("remap.gif")) && encoder.begin(indexed.size()));
        QVERIFY(encoder.writeFrame(indexed, QPoint(), 0) && encoder.close());
        QCOMPARE(readGifFrames(file("remap.gif")).value(0).indices, expectedIndices(indexed));
    }

    void delays_data()
    {
        QTest::addColumn<int>("skipped");
        QTest::addColumn<int>("fps");
        QTest::addColumn<int>("delay");
        QTest::newRow("no skip") << 0 << 6 << 26;
        QTest::newRow("5 skipped") << 5 << 6 << 160;
        QTest::newRow("11 skipped") << 11 << 6 << 320;
        QTest::newRow("past 16 bits") << 100000 << 6 << 0xFFFF;
    }
    void delays()
    {
        QFETCH(int, skipped);
        QFETCH(int, fps);
        QFETCH(int, delay);
        QCOMPARE(GifFrames::frameDelay(skipped, fps), delay);
    }

    // A two-frame file read block by block, and the delays counted from
    // unchanged grabs.
    void byteLayout()
    {
        const QImage first = pattern(QSize(5, 3), 3);
        const QImage second = changed(first, {{2, 1}});
        GifEncoder encoder(6, 1);
        QVERIFY(encoder.open(file("layout.gif")) && encoder.begin(first.size()));
        QVERIFY(encoder.addGrab(first, false));
        for (int tick = 0; tick < 5; ++tick)
            QVERIFY(encoder.addGrab(first, false));
        QCOMPARE(encoder.skippedTicks(), 5);
        QVERIFY(encoder.addGrab(second, false) && encoder.close());

        QFile in(file("layout.gif"));
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QByteArray gif = in.readAll();
        QCOMPARE(gif.left(13), bytes("GIF89a\x05\x00\x03\x00\x77\x00\x00", 13));
        QCOMPARE(gif.mid(13, 19), bytes("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19));
        int at = 32;
        const QVector<QByteArray> frames = {bytes("\x21\xF9\x04\x00\x1A\x00\x00\x00\x2C\x00\x00\x00\x00\x05\x00\x03\x00\x87", 18),
                                            bytes("\x21\xF9\x04\x00\xA0\x00\x00\x00\x2C\x02\x00\x01\x00\x01\x00\x01\x00\x87", 18)};
        for (const QByteArray &head : frames) {
            QCOMPARE(gif.mid(at, head.size()), head);
            at += head.size() + 768; // the local colour table, always 256 entries
            QCOMPARE(int(gif.at(at++)), 8);
            while (gif.at(at) != 0) // data sub-blocks up to the terminator
                at += 1 + uchar(gif.at(at));
            ++at;
        }
        QCOMPARE(gif.mid(at), QByteArray("\x3B"));
    }

    // What giflib's reader gets back is exactly what was written, frame by
    // frame, at every dither mode, including a 1x1 region.
    void decodesToWrittenIndices_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("dither");
        QTest::addColumn<bool>("manyColours");
        QTest::newRow("1x1") << QSize(1, 1) << 1 << true;
        QTest::newRow("diffuse") << QSize(64, 48) << 0 << true;
        QTest::newRow("ordered") << QSize(64, 48) << 1 << true;
        QTest::newRow("threshold") << QSize(64, 48) << 2 << true;
        QTest::newRow("few colours") << QSize(33, 17) << 1 << false;
    }
    void decodesToWrittenIndices()
    {
        QFETCH(QSize, size);
        QFETCH(int, dither);
        QFETCH(bool, manyColours);
        QVector<QImage> grabs = {pattern(size, 4, manyColours)};
        grabs << changed(grabs.last(), {{size.width() - 1, size.height() - 1}}) << grabs.last()
              << pattern(size, 5, manyColours) << changed(grabs.last(), {{0, 0}, {size.width() / 2, size.height() / 2}});
        GifEncoder encoder(6, dither);
        const QString path = file(QStringLiteral("decode-%1.gif").arg(QTest::currentDataTag()));
        QVERIFY(encoder.open(path) && encoder.begin(size));
        QVector<GifFrame> expected;
        QImage previous;
        for (int i = 0; i < grabs.size(); ++i) {
            // grab 2 repeats grab 1 and is written only because it is marked whole
            const QRect rect = previous.isNull() || i == 2 ? grabs[i].rect() : GifFrames::changedRect(grabs[i], previous);
            QVERIFY(encoder.addGrab(grabs[i], i == 2));
            if (rect.isNull())
                continue;
            previous = grabs[i];
            const QImage indexed = grabs[i].copy(rect).convertToFormat(QImage::Format_Indexed8, GifFrames::conversionFlags(dither));
            expected.append({rect, -1, expectedIndices(indexed)});
        }
        QVERIFY(encoder.close());
        const QVector<GifFrame> frames = readGifFrames(path);
        QCOMPARE(frames.size(), expected.size());
        for (int i = 0; i < frames.size(); ++i) {
            QCOMPARE(frames[i].rect, expected[i].rect);
            QCOMPARE(frames[i].indices, expected[i].indices);
        }
    }

    // Any folder name the settings can hold, and the file only under its
    // name once it is complete.
    void paths_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("plain") << "captures";
        QTest::newRow("cyrillic") << QString::fromUtf8("Документы/Снимки");
        QTest::newRow("emoji") << QString::fromUtf8("📸 captures 🎞");
    }
    void paths()
    {
        QFETCH(QString, folder);
        QVERIFY(QDir(m_dir.path()).mkpath(folder));
        const QDir dir(file(folder));
        const QString path = dir.filePath(QStringLiteral("snaplark.1.gif"));
        GifEncoder encoder(6, 1);
        QVERIFY2(encoder.open(path), qPrintable(encoder.errorString()));
        QVERIFY(encoder.begin(QSize(8, 8)) && encoder.addGrab(pattern(QSize(8, 8), 6), false));
        QVERIFY(!QFile::exists(path));
        QVERIFY(encoder.close());
        QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden), QStringList{"snaplark.1.gif"});
        QCOMPARE(readGifFrames(path).size(), 1);
    }

    void unwritablePathIsReported()
    {
        QFile blocker(file("not-a-folder"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        for (const QString &path : {file("missing/x.gif"), file("not-a-folder/x.gif"), QString()}) {
            GifEncoder encoder(6, 1);
            QVERIFY(!encoder.open(path));
            QVERIFY2(encoder.errorString().contains(QDir::toNativeSeparators(path)), qPrintable(encoder.errorString()));
            QVERIFY(!encoder.begin(QSize(4, 4)) && !encoder.addGrab(pattern(QSize(4, 4), 1), true) && !encoder.close());
        }
    }

    // Cancel at any point leaves nothing: neither the reserved file nor a part.
    void abortRemovesTheFile_data()
    {
        QTest::addColumn<int>("stage"); // 0 opened, 1 begun, 2 frames written, 3 destroyed unclosed
        QTest::newRow("ready") << 0;
        QTest::newRow("started") << 1;
        QTest::newRow("recording") << 2;
        QTest::newRow("destroyed") << 3;
    }
    void abortRemovesTheFile()
    {
        QFETCH(int, stage);
        const QDir dir(file(QStringLiteral("abort-%1").arg(stage)));
        QVERIFY(dir.mkpath(QStringLiteral(".")));
        const QString path = dir.filePath(QStringLiteral("reserved.gif"));
        QVERIFY(QFile(path).open(QIODevice::WriteOnly)); // as the captures folder reserves names
        {
            GifEncoder encoder(6, 1);
            QVERIFY(encoder.open(path));
            if (stage >= 1)
                QVERIFY(encoder.begin(QSize(4, 4)));
            if (stage >= 2)
                QVERIFY(encoder.addGrab(pattern(QSize(4, 4), 1), false));
            if (stage < 3)
                encoder.abort();
        }
        QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden), QStringList());

        GifEncoder finished(6, 1); // a closed recording is the caller's from then on
        QVERIFY(finished.open(path) && finished.begin(QSize(4, 4)) && finished.addGrab(pattern(QSize(4, 4), 1), false));
        QVERIFY(finished.close());
        finished.abort();
        QVERIFY(QFile::exists(path));
    }
};

QTEST_GUILESS_MAIN(TestGifEncoder)
#include "tst_gifencoder.moc"

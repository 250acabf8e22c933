// GIF encoding: the same 1280x720 sequences written by our encoder, as the
// recorder drives it (a whole frame every 6th tick, otherwise the changed
// rectangle), and by the ffmpeg program from raw frames, in one run.  Two
// ffmpeg pipelines: its plain gif encoder (frames reduced to rgb8) and the
// two-pass palettegen/paletteuse filter.  ffmpeg's time per frame leaves out
// its start-up: (time for all frames - time for the first frame alone) /
// (frames - 1).  Also the encoder's share of a 1920x1080 tick (diff, convert,
// write) against the 166 ms a tick may take at 6 frames per second.
//   gifbench [ffmpeg]
#include "benchstats.h"
#include "recorders/gifencoder.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

namespace {

using BenchStats::Series;

constexpr int framesPerSecond = 6;
constexpr int keyFrameInterval = 6;
constexpr int ffmpegTimeoutMs = 120000; // a whole sequence, both passes

// A desktop with an editor window in which text is typed, a caret that
// blinks and a mouse pointer crossing the screen.
QVector<QImage> typingSequence(const QSize &size, int frames)
{
    QImage desktop(size, QImage::Format_RGB32);
    QPainter painter(&desktop);
    QLinearGradient sky(0, 0, size.width(), size.height());
    sky.setColorAt(0, QColor(30, 60, 110));
    sky.setColorAt(1, QColor(120, 40, 90));
    painter.fillRect(desktop.rect(), sky);
    const QRect window(size.width() / 10, size.height() / 10, size.width() * 7 / 10, size.height() * 7 / 10);
    painter.fillRect(window, Qt::white);
    QLinearGradient title(window.topLeft(), window.topLeft() + QPoint(0, 28));
    title.setColorAt(0, QColor(220, 225, 235));
    title.setColorAt(1, QColor(180, 190, 210));
    painter.fillRect(window.x(), window.y(), window.width(), 28, title);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 11));
    painter.drawText(window.topLeft() + QPoint(10, 19), QStringLiteral("notes.txt - Editor"));
    painter.end();

    const QString text = QStringLiteral("The quick brown fox jumps over the lazy dog while the recorder keeps "
                                        "up with every key that is pressed in this window. ");
    QVector<QImage> sequence;
    for (int frame = 0; frame < frames; ++frame) {
        QImage image = desktop;
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 12));
        const int typed = frame * 2;
        const int perLine = 70;
        int caretX = 0, caretY = 0;
        for (int line = 0; line * perLine < typed; ++line) {
            const QString part = text.repeated(4).mid(line * perLine, std::min(perLine, typed - line * perLine));
            const QPoint at = window.topLeft() + QPoint(14, 56 + line * 20);
            p.drawText(at, part);
            caretX = at.x() + p.fontMetrics().horizontalAdvance(part);
            caretY = at.y();
        }
        if (frame % 4 < 2)
            p.fillRect(std::max(caretX, window.x() + 14), std::max(caretY, window.y() + 56) - 14, 2, 18, Qt::black);
        const QPointF tip(200 + frame * 13 % (size.width() - 300), 150 + frame * 7 % (size.height() - 250));
        const QPolygonF pointer({tip, tip + QPointF(0, 19), tip + QPointF(5, 14), tip + QPointF(12, 14)});
        p.setPen(Qt::black);
        p.setBrush(Qt::white);
        p.drawPolygon(pointer);
        sequence.append(image);
    }
    return sequence;
}

// A page scrolling under a colour wash that shifts every frame: no pixel
// stays the same.
QVector<QImage> fullChangeSequence(const QSize &size, int frames)
{
    QImage page(size.width(), size.height() * 3, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    QRandomGenerator random(11);
    for (int block = 0; block < 120; ++block) {
        const QRect r(int(random.bounded(size.width())), int(random.bounded(page.height())), 40 + int(random.bounded(300)),
                      20 + int(random.bounded(160)));
        QLinearGradient g(r.topLeft(), r.bottomRight());
        g.setColorAt(0, QColor::fromHsv(int(random.bounded(360)), 200, 230));
        g.setColorAt(1, QColor::fromHsv(int(random.bounded(360)), 120, 120));
        painter.fillRect(r, g);
        painter.drawText(r, Qt::TextWordWrap, QStringLiteral("Lorem ipsum dolor sit amet, consectetur adipiscing"));
    }
    painter.end();
    QVector<QImage> sequence;
    for (int frame = 0; frame < frames; ++frame) {
        QImage image = page.copy(0, frame * 9, size.width(), size.height());
        QPainter p(&image);
        p.setCompositionMode(QPainter::CompositionMode_Multiply);
        QRadialGradient wash(QPointF(frame * 40 % size.width(), size.height() / 2), size.width());
        wash.setColorAt(0, QColor::fromHsv(frame * 12 % 360, 60, 255));
        wash.setColorAt(1, QColor::fromHsv((frame * 12 + 180) % 360, 90, 235));
        p.fillRect(image.rect(), wash);
        sequence.append(image);
    }
    return sequence;
}

struct Result
{
    Series ms;
    qint64 bytes = 0;
};

Result encodeOurs(const QVector<QImage> &frames, const QString &path, int keyFrames = keyFrameInterval)
{
    Result result;
    GifEncoder encoder(framesPerSecond, 1);
    if (!encoder.open(path) || !encoder.begin(frames.first().size()))
        return result;
    for (int tick = 0; tick < frames.size(); ++tick)
        result.ms.add(BenchStats::elapsedMs([&] { encoder.addGrab(frames[tick], tick % keyFrames == 0); }));
    encoder.close();
    result.bytes = QFileInfo(path).size();
    return result;
}

double runFfmpeg(const QString &ffmpeg, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const double ms = BenchStats::elapsedMs([&] {
        process.start(ffmpeg, arguments);
        process.waitForFinished(ffmpegTimeoutMs);
    });
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 ? ms : -1;
}

// ffmpeg on the same frames, raw BGRA so that decoding its input costs nothing.
Result encodeFfmpeg(const QString &ffmpeg, const QVector<QImage> &frames, const QString &folder, bool palette)
{
    const QSize size = frames.first().size();
    const auto arguments = [&](const QString &raw, const QString &out) {
        QStringList a = {"-v", "error", "-y", "-f", "rawvideo", "-pix_fmt", "bgra", "-s",
                         QStringLiteral("%1x%2").arg(size.width()).arg(size.height()), "-r", QString::number(framesPerSecond), "-i", raw};
        if (palette)
            a << "-filter_complex" << "split[a][b];[a]palettegen[p];[b][p]paletteuse";
        return a << "-threads" << "1" << out;
    };
    const QString all = folder + "/all.raw", one = folder + "/one.raw";
    QFile allFile(all), oneFile(one);
    if (!allFile.open(QIODevice::WriteOnly) || !oneFile.open(QIODevice::WriteOnly))
        return {};
    for (const QImage &frame : frames)
        allFile.write(reinterpret_cast<const char *>(frame.constBits()), frame.sizeInBytes());
    oneFile.write(reinterpret_cast<const char *>(frames.first().constBits()), frames.first().sizeInBytes());
    allFile.close();
    oneFile.close();

    Result result;
    const QString out = folder + (palette ? "/palette.gif" : "/plain.gif");
    const double startup = runFfmpeg(ffmpeg, arguments(one, folder + "/one.gif"));
    const double total = runFfmpeg(ffmpeg, arguments(all, out));
    if (startup >= 0 && total >= 0)
        result.ms.add((total - startup) / (frames.size() - 1));
    result.bytes = QFileInfo(out).size();
    return result;
}

void compare(const char *title, const QVector<QImage> &frames, const QString &ffmpeg, const QString &folder)
{
    std::printf("\n%s: %d frames of %dx%d\n", title, int(frames.size()), frames.first().width(), frames.first().height());
    const Result ours = encodeOurs(frames, folder + "/ours.gif");
    std::printf("  ours            %7.2f ms/frame mean, %7.2f median, %7.2f worst; %9lld bytes\n", ours.ms.mean(),
                ours.ms.median(), *std::max_element(ours.ms.ms.begin(), ours.ms.ms.end()), ours.bytes);
    // How much of the file the recorder's periodic whole frames make up.
    std::printf("  ours, first frame the only whole one: %lld bytes\n",
                encodeOurs(frames, folder + "/nokey.gif", frames.size()).bytes);
    Series convert;
    for (const QImage &frame : frames)
        convert.add(BenchStats::elapsedMs([&] { GifFrames::indexedFrame(frame, 1); }));
    Series write;
    GifEncoder encoder(framesPerSecond, 1);
    encoder.open(folder + "/write.gif");
    encoder.begin(frames.first().size());
    for (const QImage &frame : frames) {
        const QImage indexed = GifFrames::indexedFrame(frame, 1);
        write.add(BenchStats::elapsedMs([&] { encoder.writeFrame(indexed, QPoint(), 0); }));
    }
    encoder.abort();
    std::printf("  ours, whole frame: conversion %.2f ms, giflib write of the converted frame %.2f ms\n",
                convert.mean(), write.mean());
    for (bool palette : {false, true}) {
        const Result theirs = encodeFfmpeg(ffmpeg, frames, folder, palette);
        if (theirs.ms.ms.empty()) {
            std::printf("  ffmpeg %s: did not run\n", palette ? "palettegen" : "plain");
            continue;
        }
        std::printf("  ffmpeg %-9s%7.2f ms/frame; %9lld bytes; ours/ffmpeg: time %.2f, size %.2f\n",
                    palette ? "palette" : "plain", theirs.ms.mean(), theirs.bytes, ours.ms.mean() / theirs.ms.mean(),
                    double(ours.bytes) / theirs.bytes);
    }
}

// The encoder's part of one tick at full HD: diff against the last grab,
// crop, convert, write; for a whole changed screen and for typing.
void tickBudget(const QString &folder)
{
    const QSize size(1920, 1080);
    for (bool full : {true, false}) {
        const QVector<QImage> frames = full ? fullChangeSequence(size, 13) : typingSequence(size, 13);
        GifEncoder encoder(framesPerSecond, 1);
        encoder.open(folder + "/tick.gif");
        encoder.begin(size);
        encoder.addGrab(frames.first(), true);
        Series ms, convert;
        for (int tick = 1; tick < frames.size(); ++tick) {
            ms.add(BenchStats::elapsedMs([&] { encoder.addGrab(frames[tick], false); }));
            convert.add(BenchStats::elapsedMs([&] { GifFrames::indexedFrame(frames[tick], 1); }));
        }
        encoder.abort();
        std::printf("  1920x1080 %-11s %6.1f ms per tick (%.0f%% of 166 ms); whole-frame conversion alone %.1f ms\n",
                    full ? "full change" : "typing", ms.mean(), ms.mean() * 100 / 166, convert.mean());
    }
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QString ffmpeg = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("ffmpeg");
    QTemporaryDir folder;
    const QSize size(1280, 720);
    compare("Typing, a small part changes per frame", typingSequence(size, 60), ffmpeg, folder.path());
    compare("Full change, every pixel per frame", fullChangeSequence(size, 30), ffmpeg, folder.path());
    std::printf("\nEncoder's share of a tick\n");
    tickBudget(folder.path());
    return 0;
}

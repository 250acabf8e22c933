#pragma once

#include <QImage>
#include <QRect>
#include <QString>

#include <array>

struct GifFileType;

// The pure steps of turning region grabs into GIF frames, driven by the tests
// with tables.
namespace GifFrames {

// The bounding rectangle of the pixels that differ between two grabs of the
// same size, compared as 32-bit values; a null rectangle (0, 0, -1, -1) when
// none differs.  Grabs that cannot be compared (other size, other format or
// not 32 bits per pixel) count as changed everywhere.
QRect changedRect(const QImage &current, const QImage &previous);

// For every index of a converted image, the first entry of its colour table
// with the same colour: what a linear search of the table gives for the
// pixel's colour.  Qt reports an index past the table as transparent black,
// so those map to the first entry of that colour, else 255.
std::array<uchar, 256> indexRemap(const QVector<QRgb> &colorTable);

// Hundredths of a second a frame is shown, from the ticks skipped before it.
int frameDelay(int skippedTicks, int framesPerSecond);

// Qt's conversion flags for a dither mode: 0 diffuse, 1 ordered, 2 threshold,
// anything else as 0.
Qt::ImageConversionFlags conversionFlags(int ditherMode);

// The frame as written: Qt's indexed conversion with its colour table, every
// index already remapped.
QImage indexedFrame(const QImage &image, int ditherMode);

} // namespace GifFrames

// Writes one looping animated GIF, frame by frame, as a recorder grabs it.
//
//   GifEncoder encoder(6, 1);             // frames per second, dither mode
//   if (!encoder.open(path))              // at construction of the recorder
//       show encoder.errorString();       // names the path
//   encoder.begin(region.size());         // on Start
//   encoder.addGrab(grab, false);         // the Start grab: always whole
//   encoder.addGrab(grab, tick % 6 == 0); // every tick; true writes it whole
//   encoder.writeFrame(closing, {0, 0}, 5);
//   encoder.close();                      // false: nothing is left on disk
//   encoder.abort();                      // Cancel, at any point
//
// The frames go to a hidden file beside the path, which replaces the file at
// the path only when close() succeeds: a recording never sits half-written
// under its name.  abort() and the destructor of an encoder that was not
// closed remove both.  Calls after a failure, or on an encoder that is not
// open, write nothing and return false.
class GifEncoder
{
public:
    GifEncoder(int framesPerSecond, int ditherMode);
    ~GifEncoder();
    GifEncoder(const GifEncoder &) = delete;
    GifEncoder &operator=(const GifEncoder &) = delete;

    // Creates the file for the recording; false when that is not possible,
    // with the reason in errorString().
    bool open(const QString &path);
    bool isOpen() const { return m_gif != nullptr; }
    QString errorString() const { return m_error; }

    // Header, logical screen of the region's size, loop-forever extension.
    bool begin(const QSize &screen);

    // One grab of the whole region per tick.  The first grab and those marked
    // whole are written in full; otherwise only the rectangle that changed
    // since the last written grab, or nothing (a skipped tick, which lengthens
    // the delay of the next frame written).  Returns false only on failure.
    bool addGrab(const QImage &grab, bool whole);
    int skippedTicks() const { return m_skippedTicks; }

    // One frame at a position on the logical screen, its delay counting the
    // given skipped ticks.
    bool writeFrame(const QImage &image, const QPoint &at, int skippedTicks);

    // Writes the trailer and puts the file in place under its path.
    bool close();
    // Stops the recording and removes its file, whatever was written.
    void abort();

private:
    bool fail(const QString &what);
    void discard();

    int m_framesPerSecond;
    int m_ditherMode;
    QString m_path;
    QString m_partPath; // where the frames go until close
    QString m_error;
    GifFileType *m_gif = nullptr;
    bool m_failed = false;
    bool m_closed = false; // the file is in place and no longer ours to remove
    QSize m_screen;
    QImage m_previous;
    int m_skippedTicks = 0;
};

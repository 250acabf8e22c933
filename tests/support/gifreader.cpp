#include "gifreader.h"

#include <QFile>

#include <gif_lib.h>

QVector<GifFrame> readGifFrames(const QString &path)
{
    int error = 0;
    GifFileType *gif = DGifOpenFileName(QFile::encodeName(path).constData(), &error);
    if (!gif)
        return {};
    QVector<GifFrame> frames;
    if (DGifSlurp(gif) == GIF_OK) {
        for (int i = 0; i < gif->ImageCount; ++i) {
            const SavedImage &image = gif->SavedImages[i];
            const GifImageDesc &d = image.ImageDesc;
            GifFrame frame;
            frame.rect = QRect(d.Left, d.Top, d.Width, d.Height);
            for (int b = 0; b < image.ExtensionBlockCount; ++b)
                if (image.ExtensionBlocks[b].Function == GRAPHICS_EXT_FUNC_CODE)
                    frame.delay = image.ExtensionBlocks[b].Bytes[1] | image.ExtensionBlocks[b].Bytes[2] << 8;
            frame.indices = QByteArray(reinterpret_cast<const char *>(image.RasterBits), d.Width * d.Height);
            frames.append(frame);
        }
    }
    DGifCloseFile(gif, &error);
    return frames;
}

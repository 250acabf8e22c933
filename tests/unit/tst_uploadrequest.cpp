// The edges of two request rules: when the login reminder is due, and which
// content type the multipart form gives a file.
#include "upload/uploadrequest.h"

#include <QtTest>

class TestUploadRequest : public QObject
{
    Q_OBJECT

private slots:
    void reminderDue_data()
    {
        const QDateTime now(QDate(2024, 5, 20), QTime(12, 0, 0));
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("lastRequest");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<bool>("due");
        QTest::newRow("png, default time") << "/c/a.png" << "2000-01-01T00:00:00" << now << true;
        QTest::newRow("png, 13 days") << "/c/a.png" << "2024-05-07T12:00:00" << now << false;
        QTest::newRow("png, exactly 14 days") << "/c/a.png" << "2024-05-06T12:00:00" << now << false;
        QTest::newRow("png, a second over") << "/c/a.png" << "2024-05-06T11:59:59" << now << true;
        QTest::newRow("png, unreadable time") << "/c/a.png" << "yesterday" << now << true;
        QTest::newRow("gif, just reminded") << "/c/a.gif" << "2024-05-20T11:59:00" << now << true;
        QTest::newRow("PNG in capitals") << "/c/a.PNG" << "2024-05-20T11:59:00" << now << true;
        QTest::newRow("no extension") << "/c/png" << "2024-05-20T11:59:00" << now << true;
    }
    void reminderDue()
    {
        QFETCH(QString, path);
        QFETCH(QString, lastRequest);
        QFETCH(QDateTime, now);
        QFETCH(bool, due);
        QCOMPARE(UploadRequest::reminderDue(path, lastRequest, now), due);
    }

    void fileContentType_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("type");
        QTest::newRow("mp4") << "clip.mp4" << QByteArray("video/mp4");
        QTest::newRow("txt") << "notes.txt" << QByteArray("application/octet-stream");
        QTest::newRow("vi lies inside avi") << "film.vi" << QByteArray("video/vi");
        QTest::newRow("MP4 in capitals") << "clip.MP4" << QByteArray("application/octet-stream");
        QTest::newRow("no dot: the whole name") << "flv" << QByteArray("video/flv");
        QTest::newRow("no dot, not a video") << "README" << QByteArray("application/octet-stream");
        QTest::newRow("trailing dot") << "clip." << QByteArray("video/");
    }
    void fileContentType()
    {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, type);
        QCOMPARE(UploadRequest::fileContentType(fileName), type);
    }
};

QTEST_APPLESS_MAIN(TestUploadRequest)
#include "tst_uploadrequest.moc"

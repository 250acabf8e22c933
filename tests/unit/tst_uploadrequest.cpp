// The edges of two request rules: when the login reminder is due, and which
// content type the multipart form gives a file.  (The upload suite covers
// the ordinary cases end to end.)
#include "upload/uploadrequest.h"

#include <QtTest>

class TestUploadRequest : public QObject
{
    Q_OBJECT

private slots:
    void reminderDue_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("lastRequest");
        QTest::addColumn<bool>("due");
        QTest::newRow("png, exactly 14 days") << "/c/a.png" << "2024-05-06T12:00:00" << false;
        QTest::newRow("png, a second over") << "/c/a.png" << "2024-05-06T11:59:59" << true;
        QTest::newRow("png, unreadable time") << "/c/a.png" << "yesterday" << true;
        QTest::newRow("PNG in capitals") << "/c/a.PNG" << "2024-05-20T11:59:00" << true;
    }
    void reminderDue()
    {
        QFETCH(QString, path);
        QFETCH(QString, lastRequest);
        QFETCH(bool, due);
        QCOMPARE(UploadRequest::reminderDue(path, lastRequest, QDateTime(QDate(2024, 5, 20), QTime(12, 0, 0))), due);
    }

    void fileContentType_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("type");
        QTest::newRow("MP4 in capitals") << "clip.MP4" << QByteArray("application/octet-stream");
        QTest::newRow("no dot: the whole name") << "flv" << QByteArray("video/flv");
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

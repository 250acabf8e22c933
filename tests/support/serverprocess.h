#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QProcess>
#include <QString>
#include <QStringList>

// The real snaplark-server of the build, on 127.0.0.1 and a free port, with a
// data folder of the test's own.  Killed on destruction.
class ServerProcess
{
public:
    explicit ServerProcess(const QString &dataFolder);
    ~ServerProcess();

    // Starts it with these extra options and waits until it answers.
    bool start(const QStringList &options = QStringList());
    // SIGTERM and a wait; SIGKILL when `hard`.
    bool stop(bool hard = false);
    bool isRunning() const { return m_process.state() == QProcess::Running; }

    quint16 port() const { return m_port; }
    QByteArray baseUrl() const; // "http://127.0.0.1:<port>/"
    QString dataFolder() const { return m_dataFolder; }
    QString log() const;
    // Resident and peak resident memory, in kB, from /proc.
    qint64 residentKb() const;
    qint64 peakResidentKb() const;

private:
    QProcess m_process;
    QString m_dataFolder;
    quint16 m_port = 0;
};

// One HTTP exchange over a fresh connection, with the bytes exactly as given.
struct HttpReply
{
    int status = 0; // 0: no reply (closed, timed out)
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;

    QByteArray header(const QByteArray &name) const;
    // The value of a cookie the reply sets; null when it sets none of that name.
    QByteArray cookie(const QByteArray &name) const;
};

namespace Http {
HttpReply exchange(quint16 port, const QByteArray &request, int timeoutMs = 10000);
HttpReply get(quint16 port, const QByteArray &target, const QByteArray &cookies = QByteArray());
HttpReply put(quint16 port, const QByteArray &target, const QByteArray &body,
              const QList<QPair<QByteArray, QByteArray>> &headers = {});
// An application/x-www-form-urlencoded POST; values are percent-encoded here.
HttpReply postForm(quint16 port, const QByteArray &target, const QList<QPair<QByteArray, QByteArray>> &fields,
                   const QByteArray &cookies = QByteArray());
} // namespace Http

#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

// Reads one HTTP/1.x response from the bytes of a connection as they arrive:
// the status line, the headers in order and the body, whether its end is
// given by Content-Length, by chunked transfer coding or by the server
// closing the connection.  Interim 1xx responses are skipped.  The reader
// holds the whole body, so it refuses heads and bodies above fixed limits:
// the replies it reads are short texts, and a server that sends more is not
// the service.
class HttpResponseReader
{
public:
    enum class State { Reading, Done, Malformed };
    using Header = QPair<QByteArray, QByteArray>;

    static constexpr int maxHeadBytes = 64 * 1024;
    static constexpr qint64 maxBodyBytes = 16 * 1024 * 1024;

    // Takes the next bytes of the connection; returns the state after them.
    // Bytes after the end of the response are ignored.
    State feed(const QByteArray &bytes);
    // The server closed the connection: ends a body read up to the close,
    // anything else unfinished is malformed.
    State finishAtClose();

    State state() const { return m_state; }
    // Nothing of a response has arrived yet.
    bool isEmpty() const { return m_pending.isEmpty() && m_status == 0; }

    int statusCode() const { return m_status; }
    QByteArray reasonPhrase() const { return m_reason; }
    const QList<Header> &headers() const { return m_headers; }
    // The first header of that name, compared without regard to case; null when absent.
    QByteArray header(const QByteArray &name) const;
    const QByteArray &body() const { return m_body; }

private:
    enum class Step { Head, Body, UntilClose, ChunkSize, ChunkData, ChunkEnd, Trailer };

    bool readHead();
    // Moves what has arrived of the current body or chunk; true when it is complete.
    bool takeBodyBytes();
    bool readChunked();
    bool takeLine(QByteArray *line);
    State fail();

    State m_state = State::Reading;
    Step m_step = Step::Head;
    QByteArray m_pending; // received, not yet consumed
    int m_status = 0;
    QByteArray m_reason;
    QList<Header> m_headers;
    QByteArray m_body;
    qint64 m_remaining = 0; // of the body or of the current chunk
};

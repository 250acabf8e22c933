#include "upload/httpresponsereader.h"

namespace {

bool parseLength(const QByteArray &text, int base, qint64 *value)
{
    const QByteArray digits = text.trimmed();
    if (digits.isEmpty() || digits.startsWith('-') || digits.startsWith('+'))
        return false;
    bool ok = false;
    *value = digits.toLongLong(&ok, base);
    return ok && *value >= 0;
}

} // namespace

HttpResponseReader::State HttpResponseReader::feed(const QByteArray &bytes)
{
    if (m_state != State::Reading)
        return m_state;
    m_pending += bytes;
    for (;;) {
        bool progressed = false;
        switch (m_step) {
        case Step::Head:
            progressed = readHead();
            break;
        case Step::Body:
            if (takeBodyBytes())
                m_state = State::Done;
            return m_state;
        case Step::UntilClose:
            m_body += m_pending;
            m_pending.clear();
            if (m_body.size() > maxBodyBytes)
                return fail();
            return m_state;
        default:
            progressed = readChunked();
            break;
        }
        if (m_state != State::Reading || !progressed)
            return m_state;
    }
}

HttpResponseReader::State HttpResponseReader::finishAtClose()
{
    if (m_state == State::Reading)
        m_state = m_step == Step::UntilClose ? State::Done : State::Malformed;
    return m_state;
}

QByteArray HttpResponseReader::header(const QByteArray &name) const
{
    for (const Header &h : m_headers)
        if (qstricmp(h.first.constData(), name.constData()) == 0)
            return h.second;
    return QByteArray();
}

HttpResponseReader::State HttpResponseReader::fail()
{
    m_state = State::Malformed;
    m_pending.clear();
    return m_state;
}

bool HttpResponseReader::takeLine(QByteArray *line)
{
    const int end = m_pending.indexOf('\n');
    if (end < 0)
        return false;
    *line = m_pending.left(end);
    if (line->endsWith('\r'))
        line->chop(1);
    m_pending.remove(0, end + 1);
    return true;
}

bool HttpResponseReader::readHead()
{
    const int end = m_pending.indexOf("\n\r\n") >= 0 ? m_pending.indexOf("\n\r\n") : m_pending.indexOf("\n\n");
    if (end < 0) {
        if (m_pending.size() > maxHeadBytes)
            fail();
        return false;
    }
    if (end > maxHeadBytes) {
        fail();
        return false;
    }

    QByteArray line;
    takeLine(&line);
    // "HTTP/1.1 200 OK"; the reason phrase may be empty.
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() < 2 || !parts.at(0).startsWith("HTTP/1.") || parts.at(1).size() != 3) {
        fail();
        return false;
    }
    bool ok = false;
    m_status = parts.at(1).toInt(&ok);
    if (!ok || m_status < 100) {
        fail();
        return false;
    }
    m_reason = line.mid(parts.at(0).size() + parts.at(1).size() + 2);
    m_headers.clear();
    while (takeLine(&line) && !line.isEmpty()) {
        const int colon = line.indexOf(':');
        if (colon <= 0) {
            fail();
            return false;
        }
        m_headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }

    if (m_status < 200) {
        m_status = 0; // an interim response; the real one follows
        return true;
    }
    if (m_status == 204 || m_status == 304) {
        m_state = State::Done;
        return false;
    }
    if (header("Transfer-Encoding").toLower().contains("chunked")) {
        m_step = Step::ChunkSize;
        return true;
    }
    const QByteArray length = header("Content-Length");
    if (length.isNull()) {
        m_step = Step::UntilClose;
        return true;
    }
    if (!parseLength(length, 10, &m_remaining) || m_remaining > maxBodyBytes) {
        fail();
        return false;
    }
    m_step = Step::Body;
    return true;
}

bool HttpResponseReader::takeBodyBytes()
{
    const qint64 take = qMin<qint64>(m_remaining, m_pending.size());
    m_body += m_pending.left(int(take));
    m_pending.remove(0, int(take));
    m_remaining -= take;
    return m_remaining == 0;
}

bool HttpResponseReader::readChunked()
{
    QByteArray line;
    // A line that never ends is not a chunk boundary.
    const auto waitForLine = [this] {
        if (m_pending.size() > maxHeadBytes)
            fail();
        return false;
    };
    switch (m_step) {
    case Step::ChunkSize: {
        if (!takeLine(&line))
            return waitForLine();
        // "1a;name=value": extensions are ignored
        const int semicolon = line.indexOf(';');
        if (!parseLength(semicolon < 0 ? line : line.left(semicolon), 16, &m_remaining)
            || m_body.size() + m_remaining > maxBodyBytes) {
            fail();
            return false;
        }
        m_step = m_remaining == 0 ? Step::Trailer : Step::ChunkData;
        return true;
    }
    case Step::ChunkData:
        if (!takeBodyBytes())
            return false;
        m_step = Step::ChunkEnd;
        return true;
    case Step::ChunkEnd:
        if (!takeLine(&line))
            return waitForLine();
        if (!line.isEmpty()) {
            fail();
            return false;
        }
        m_step = Step::ChunkSize;
        return true;
    case Step::Trailer:
        if (!takeLine(&line))
            return waitForLine();
        if (line.isEmpty())
            m_state = State::Done;
        return true;
    default:
        return false;
    }
}

#include "files/DeviceStreams.h"

#include <QCoreApplication>
#include <QIODevice>

#include <algorithm>

namespace quillon {

QString stoppedReason()
{
    return QCoreApplication::translate("GridFile", "Stopped.");
}

// ---- reading ------------------------------------------------------------------

DeviceReader::DeviceReader(QIODevice& device, qint64 limit, const GridProgress& progress, Xxh64* hash)
    : m_device(device), m_progress(progress), m_hash(hash)
{
    const qint64 left = device.isSequential() ? -1 : device.size() - device.pos();
    m_left = limit >= 0 ? (left >= 0 ? std::min(limit, left) : limit) : std::max<qint64>(left, 0);
    m_total = m_left;
}

bool DeviceReader::fill(size_t n)
{
    if (available() >= n)
        return true;
    if (m_left <= 0 || failed())
        return false;
    // Keep the unread tail and append after it; the buffer grows only for a piece
    // larger than a chunk, and then only as far as the device still holds bytes.
    const size_t tail = available();
    const size_t want = std::max(n, kChunk);
    const size_t room = size_t(std::min<qint64>(qint64(want), qint64(tail) + m_left));
    const size_t at = tail ? size_t(m_pos - m_buffer.data()) : 0;
    if (m_buffer.size() < room)
        m_buffer.resize(room);
    if (tail)
        std::memmove(m_buffer.data(), m_buffer.data() + at, tail);
    size_t have = tail;
    while (have < room) {
        const qint64 got = m_device.read(m_buffer.data() + have, qint64(room - have));
        if (got <= 0) {
            m_error = m_device.errorString();
            if (got == 0 || m_error.isEmpty() || m_error == QLatin1String("Unknown error"))
                m_error = QCoreApplication::translate("GridFile", "The file could not be read to its end.");
            m_left = 0;
            break;
        }
        if (m_hash)
            m_hash->update(m_buffer.data() + have, size_t(got));
        have += size_t(got);
        m_left -= got;
        m_taken += got;
    }
    m_pos = m_buffer.data();
    m_end = m_pos + have;
    if (m_progress && !failed() && !m_progress(m_taken, m_total)) {
        m_error = stoppedReason();
        m_left = 0;
    }
    return !failed() && available() >= n;
}

// ---- writing ------------------------------------------------------------------

DeviceWriter::DeviceWriter(QIODevice& device, const GridProgress& progress, qint64 expectedTotal, Xxh64* hash)
    : m_device(device), m_progress(progress), m_hash(hash), m_expected(expectedTotal), m_buffer(kChunk)
{
    m_pos = m_buffer.data();
    m_limit = m_pos + m_buffer.size();
}

bool DeviceWriter::writeOut(const char* data, size_t n)
{
    if (failed())
        return false;
    if (m_hash)
        m_hash->update(data, n);
    while (n > 0) {
        const qint64 put = m_device.write(data, qint64(n));
        if (put <= 0) {
            m_error = m_device.errorString();
            if (m_error.isEmpty() || m_error == QLatin1String("Unknown error"))
                m_error = QCoreApplication::translate("GridFile", "The data could not be written.");
            return false;
        }
        data += put;
        n -= size_t(put);
        m_written += put;
    }
    if (m_progress && !m_progress(m_written, std::max(m_expected, m_written))) {
        m_error = stoppedReason();
        return false;
    }
    return true;
}

bool DeviceWriter::flush()
{
    const size_t n = size_t(m_pos - m_buffer.data());
    m_pos = m_buffer.data();
    if (n)
        writeOut(m_buffer.data(), n);
    return !failed();
}

void DeviceWriter::makeRoom(size_t n)
{
    flush();
    if (m_buffer.size() < n) {
        m_buffer.resize(n);
        m_pos = m_buffer.data();
        m_limit = m_pos + m_buffer.size();
    }
}

void DeviceWriter::putLarge(const void* data, size_t n)
{
    flush();
    writeOut(static_cast<const char*>(data), n);
}

} // namespace quillon

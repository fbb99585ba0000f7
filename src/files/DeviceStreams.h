#pragma once

#include "files/GridFile.h"
#include "files/Xxh64.h"

#include <QString>

#include <cstring>
#include <vector>

class QIODevice;

namespace quillon {

/**
 * Buffered reading from a device for the grid readers: a window [pos(), end())
 * over the next bytes, refilled in large pieces, with the progress told at each
 * refill and, when asked for, a checksum of every byte taken from the device.
 */
class DeviceReader
{
public:
    static constexpr size_t kChunk = size_t(1) << 20;

    /** Reads at most @p limit bytes (all that remain when negative). */
    DeviceReader(QIODevice& device, qint64 limit, const GridProgress& progress, Xxh64* hash = nullptr);

    const char* pos() const { return m_pos; }
    const char* end() const { return m_end; }
    size_t available() const { return size_t(m_end - m_pos); }
    void advance(size_t n) { m_pos += n; }
    void setPos(const char* p) { m_pos = p; }

    /** Makes at least @p n bytes available from pos(), or all that remain. Returns
     *  whether @p n are there; false also when the device failed or work was stopped. */
    bool fill(size_t n);
    /** Bytes not yet consumed: those in the window and those still in the device. */
    qint64 remaining() const { return qint64(available()) + m_left; }
    bool atEnd() { return m_pos == m_end && !fill(1); }
    bool consumedAll() const { return m_pos == m_end && m_left == 0; }
    /** Bytes consumed from the start. */
    qint64 consumed() const { return m_taken - qint64(available()); }

    /** Set when the device failed or the progress callback stopped the work. */
    bool failed() const { return !m_error.isEmpty(); }
    const QString& error() const { return m_error; }

private:
    QIODevice& m_device;
    const GridProgress& m_progress;
    Xxh64* m_hash;
    std::vector<char> m_buffer;
    const char* m_pos = nullptr;
    const char* m_end = nullptr;
    qint64 m_left;
    qint64 m_total;
    qint64 m_taken = 0;
    QString m_error;
};

/**
 * Buffered writing to a device for the grid writers: bytes are collected and
 * written in large pieces; the first failure is kept and later writes are ignored.
 */
class DeviceWriter
{
public:
    static constexpr size_t kChunk = size_t(1) << 20;

    DeviceWriter(QIODevice& device, const GridProgress& progress, qint64 expectedTotal, Xxh64* hash = nullptr);

    /** Room for @p n bytes at the returned pointer; say how many were used with commit(). */
    char* reserve(size_t n)
    {
        if (size_t(m_limit - m_pos) < n)
            makeRoom(n);
        return m_pos;
    }
    void commit(size_t n) { m_pos += n; }
    void put(const void* data, size_t n)
    {
        if (n > kChunk) {
            putLarge(data, n);
            return;
        }
        if (n == 0)
            return;
        std::memcpy(reserve(n), data, n);
        m_pos += n;
    }
    void putByte(char c) { *reserve(1) = c, ++m_pos; }

    /** Writes what is collected; false when any write failed. */
    bool flush();
    bool failed() const { return !m_error.isEmpty(); }
    const QString& error() const { return m_error; }
    qint64 written() const { return m_written + (m_pos - m_buffer.data()); }

private:
    void makeRoom(size_t n);
    void putLarge(const void* data, size_t n);
    bool writeOut(const char* data, size_t n);

    QIODevice& m_device;
    const GridProgress& m_progress;
    Xxh64* m_hash;
    qint64 m_expected;
    std::vector<char> m_buffer;
    char* m_pos;
    char* m_limit;
    qint64 m_written = 0;
    QString m_error;
};

/** The reason shown when the progress callback stopped the work. */
QString stoppedReason();

} // namespace quillon

#include "LocalHttpServer.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

LocalHttpServer::LocalHttpServer(Handler handler, QObject* parent) : QObject(parent), m_handler(std::move(handler))
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    m_server.listen(QHostAddress::LocalHost, 0);
}

LocalHttpServer::Response LocalHttpServer::page(const QByteArray& body)
{
    Response r;
    r.body = body;
    return r;
}

LocalHttpServer::Response LocalHttpServer::redirect(const QByteArray& location, int status)
{
    Response r;
    r.status = status;
    r.headers.append({"Location", location});
    r.body = "<html><body><a href=\"" + location + "\">Moved</a></body></html>";
    return r;
}

LocalHttpServer::Response LocalHttpServer::status(int code)
{
    Response r;
    r.status = code;
    r.body = "<html><body>Error " + QByteArray::number(code) + "</body></html>";
    return r;
}

void LocalHttpServer::serve(QTcpSocket* socket)
{
    QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    while (true) {
        const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            break;
        const QByteArray head = buffer.left(headerEnd);
        buffer.remove(0, headerEnd + 4);
        const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
        Request request;
        request.method = requestLine.value(0);
        request.target = requestLine.value(1);
        requests.append(QString::fromUtf8(request.target));
        respond(socket, m_handler(request));
    }
    socket->setProperty("buffer", buffer);
}

void LocalHttpServer::respond(QTcpSocket* socket, const Response& response)
{
    QPointer<QTcpSocket> guard(socket);
    auto send = [guard, response] {
        if (!guard)
            return;
        QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Status\r\n";
        head += "Content-Type: " + response.contentType + "\r\n";
        for (const auto& h : response.headers)
            head += h.first + ": " + h.second + "\r\n";
        if (response.fillerBytes == 0) {
            head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n\r\n";
            guard->write(head);
            guard->write(response.body);
            return;
        }
        // A long body without a length, sent a megabyte at a time as the client reads
        // it, ended by closing the connection.
        head += "Connection: close\r\n\r\n";
        guard->write(head);
        guard->write(response.body);
        auto left = std::make_shared<qint64>(response.fillerBytes);
        auto more = [guard, left] {
            if (!guard)
                return;
            if (*left <= 0) {
                guard->disconnectFromHost();
                return;
            }
            const qint64 n = std::min<qint64>(*left, 1 << 20);
            *left -= n;
            guard->write(QByteArray(n, 'x'));
        };
        QObject::connect(guard, &QTcpSocket::bytesWritten, guard, [guard, more](qint64) {
            if (guard && guard->bytesToWrite() == 0)
                more();
        });
        more();
    };
    if (response.delayMs > 0)
        QTimer::singleShot(response.delayMs, this, send);
    else
        send();
}

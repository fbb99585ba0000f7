#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>

#include <functional>

/**
 * A small HTTP/1.1 server on 127.0.0.1 (a free port) for the grab tests. Each
 * request is answered by the handler the test gives; an answer may be delayed, very
 * large, a redirect or an error. Every request path is recorded.
 */
class LocalHttpServer : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QByteArray method;
        /** Path and query, as sent. */
        QByteArray target;
    };

    struct Response
    {
        int status = 200;
        QByteArray contentType = "text/html; charset=utf-8";
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;
        /** Milliseconds before the answer starts. */
        int delayMs = 0;
        /** Sends this many bytes of filler after the body, in pieces, with no length given. */
        qint64 fillerBytes = 0;
    };

    using Handler = std::function<Response(const Request&)>;

    explicit LocalHttpServer(Handler handler, QObject* parent = nullptr);

    bool isListening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }
    QString root() const { return QStringLiteral("http://127.0.0.1:%1").arg(port()); }
    QString url(const QString& target) const { return root() + target; }

    /** Targets requested so far, in order. */
    QStringList requests;

    static Response page(const QByteArray& body);
    static Response redirect(const QByteArray& location, int status = 302);
    static Response status(int code);

private:
    void serve(class QTcpSocket* socket);
    void respond(class QTcpSocket* socket, const Response& response);

    QTcpServer m_server;
    Handler m_handler;
};

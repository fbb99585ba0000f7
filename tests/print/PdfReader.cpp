#include "PdfReader.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>

namespace quillon::test {

QByteArray runTool(const QString& program, const QStringList& args, QString* error)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(30000)) {
        if (error)
            *error = program + QStringLiteral(" did not start");
        return {};
    }
    p.closeWriteChannel();
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        if (error)
            *error = program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(p.readAllStandardError());
        return {};
    }
    QByteArray out = p.readAllStandardOutput();
    if (out.isNull())
        out = QByteArray("");
    return out;
}

QString PdfPage::textIn(const QRectF& rect) const
{
    QList<PdfWord> inside;
    for (const PdfWord& w : words)
        if (rect.contains(w.box.center()))
            inside << w;
    std::stable_sort(inside.begin(), inside.end(), [](const PdfWord& a, const PdfWord& b) {
        if (std::abs(a.box.top() - b.box.top()) > 2)
            return a.box.top() < b.box.top();
        return a.box.left() < b.box.left();
    });
    QStringList texts;
    for (const PdfWord& w : inside)
        texts << w.text;
    return texts.join(QLatin1Char(' '));
}

const PdfWord* PdfPage::find(const QString& text) const
{
    for (const PdfWord& w : words)
        if (w.text == text)
            return &w;
    return nullptr;
}

QList<PdfWord> PdfPage::findAll(const QString& text) const
{
    QList<PdfWord> out;
    for (const PdfWord& w : words)
        if (w.text == text)
            out << w;
    return out;
}

PdfReader::PdfReader(const QString& path) : m_path(path)
{
    const QByteArray html = runTool(QStringLiteral("pdftotext"),
                                    {QStringLiteral("-bbox"), path, QStringLiteral("-")}, &m_error);
    if (html.isNull())
        return;
    // pdftotext writes one element a line: <page width=.. height=..> and
    // <word xMin=.. yMin=.. xMax=.. yMax=..>text</word>.
    static const QRegularExpression pageRe(QStringLiteral(R"re(<page width="([-\d.]+)" height="([-\d.]+)">)re"));
    static const QRegularExpression wordRe(QStringLiteral(
        R"re(<word xMin="([-\d.]+)" yMin="([-\d.]+)" xMax="([-\d.]+)" yMax="([-\d.]+)">(.*)</word>)re"));
    const QStringList lines = QString::fromUtf8(html).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (const auto m = pageRe.match(line); m.hasMatch()) {
            PdfPage page;
            page.size = QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble());
            m_pages << page;
        } else if (const auto w = wordRe.match(line); w.hasMatch() && !m_pages.isEmpty()) {
            PdfWord word;
            word.box = QRectF(QPointF(w.captured(1).toDouble(), w.captured(2).toDouble()),
                              QPointF(w.captured(3).toDouble(), w.captured(4).toDouble()));
            QString text = w.captured(5);
            text.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
            text.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
            text.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
            text.replace(QStringLiteral("&apos;"), QStringLiteral("'"));
            text.replace(QStringLiteral("&#39;"), QStringLiteral("'"));
            text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
            word.text = text;
            m_pages.last().words << word;
        }
    }
    if (m_pages.isEmpty())
        m_error = QStringLiteral("pdftotext found no page in ") + path;
}

QStringList PdfReader::allWords() const
{
    QStringList out;
    for (const PdfPage& p : m_pages)
        for (const PdfWord& w : p.words)
            out << w.text;
    return out;
}

QStringList PdfReader::fonts() const
{
    const QByteArray out = runTool(QStringLiteral("pdffonts"), {m_path});
    QStringList names;
    const QList<QByteArray> lines = out.split('\n');
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines.at(i)).trimmed();
        if (line.isEmpty())
            continue;
        QString name = line.section(QLatin1Char(' '), 0, 0);
        const qsizetype plus = name.indexOf(QLatin1Char('+'));
        if (plus == 6)
            name = name.mid(plus + 1);
        names << name;
    }
    return names;
}

QImage PdfReader::render(int page, int dpi) const
{
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("page"));
    const QString n = QString::number(page + 1);
    const QByteArray out = runTool(QStringLiteral("pdftoppm"),
                                   {QStringLiteral("-gray"), QStringLiteral("-r"), QString::number(dpi),
                                    QStringLiteral("-f"), n, QStringLiteral("-l"), n, QStringLiteral("-singlefile"),
                                    m_path, base});
    if (out.isNull())
        return {};
    return QImage(base + QStringLiteral(".pgm")).convertToFormat(QImage::Format_Grayscale8);
}

} // namespace quillon::test

#pragma once

#include <QImage>
#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

namespace quillon::test {

/** A word of a PDF page as pdftotext -bbox reports it; box in points, origin top left. */
struct PdfWord
{
    QString text;
    QRectF box;
};

struct PdfPage
{
    QSizeF size; ///< points
    QList<PdfWord> words;

    /** The words whose centre lies in @p rect, in reading order, joined by blanks. */
    QString textIn(const QRectF& rect) const;
    /** The first word equal to @p text, or nullptr. */
    const PdfWord* find(const QString& text) const;
    /** Every word equal to @p text. */
    QList<PdfWord> findAll(const QString& text) const;
};

/**
 * A PDF file read back with poppler's tools: the words of every page with their
 * boxes (pdftotext -bbox), the fonts (pdffonts) and pages as images (pdftoppm).
 */
class PdfReader
{
public:
    explicit PdfReader(const QString& path);

    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    const QList<PdfPage>& pages() const { return m_pages; }
    int pageCount() const { return int(m_pages.size()); }
    const PdfPage& page(int i) const { return m_pages.at(i); }
    /** Every word of every page. */
    QStringList allWords() const;

    /** Font names as pdffonts lists them (subset prefix removed). */
    QStringList fonts() const;
    /** Page @p page (from 0) as a grey image at @p dpi. */
    QImage render(int page, int dpi) const;

private:
    QString m_path;
    QString m_error;
    QList<PdfPage> m_pages;
};

/** Runs a tool; its standard output, or a null array (and @p error) on failure. */
QByteArray runTool(const QString& program, const QStringList& args, QString* error = nullptr);

} // namespace quillon::test

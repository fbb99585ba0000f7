#pragma once

#include <QByteArrayView>

#include <string>

namespace quillon {

/** Appends @p text, UTF-8, to @p out as a JSON string: quoted, with quotes, backslashes
 *  and control characters escaped. The command-line tools print rows this way. */
inline void appendJsonString(std::string& out, QByteArrayView text)
{
    static const char hex[] = "0123456789abcdef";
    out.push_back('"');
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out.push_back(hex[c >> 4]);
                out.push_back(hex[c & 15]);
            } else {
                out.push_back(char(c));
            }
        }
    }
    out.push_back('"');
}

} // namespace quillon

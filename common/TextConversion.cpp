#include "TextConversion.h"

#include <QFile>

#include <boost/locale/encoding.hpp>
#include <boost/locale/utf.hpp>

#include <algorithm>

namespace
{
namespace conv = boost::locale::conv;

bool IsAscii(const std::string& text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Copies `text` into `out` while it is plain ASCII; false at the first other character.
bool CopyAscii(const QString& text, std::string& out)
{
    out.resize(static_cast<std::size_t>(text.size()));
    const QChar* chars = text.constData();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = chars[i].unicode();
        if (c >= 0x80) {
            return false;
        }
        out[static_cast<std::size_t>(i)] = static_cast<char>(c);
    }
    return true;
}

// UTF-16 to UTF-32, dropping unpaired surrogates. Done here rather than by
// utf_to_utf, which also swallows the character after a lone high surrogate.
std::wstring ToUtf32(const QString& text)
{
    std::wstring out;
    out.reserve(static_cast<std::size_t>(text.size()));
    const QChar* chars = text.constData();
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = chars[i];
        if (!c.isSurrogate()) {
            out.push_back(static_cast<wchar_t>(c.unicode()));
        } else if (c.isHighSurrogate() && i + 1 < size && chars[i + 1].isLowSurrogate()) {
            out.push_back(static_cast<wchar_t>(QChar::surrogateToUcs4(c, chars[i + 1])));
            ++i;
        }
    }
    return out;
}

QString FromUtf32(const std::wstring& text)
{
    return QString::fromWCharArray(text.data(), static_cast<qsizetype>(text.size()));
}
} // namespace

// The charset converter (iconv) skips exactly the bytes it cannot decode, so
// a stray byte never takes a valid neighbour with it. Should a conversion
// throw anyway, Qt's own converter stands in rather than losing the text.

QString Utf8ToWide(const std::string& utf8)
{
    if (IsAscii(utf8)) {
        return QString::fromLatin1(utf8.data(), static_cast<qsizetype>(utf8.size()));
    }
    try {
        return FromUtf32(conv::to_utf<wchar_t>(utf8, "UTF-8", conv::skip));
    } catch (...) {
        return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    }
}

std::string WideToUtf8(const QString& text)
{
    std::string result;
    if (CopyAscii(text, result)) {
        return result;
    }
    try {
        return conv::from_utf(ToUtf32(text), "UTF-8", conv::skip);
    } catch (...) {
        return text.toUtf8().toStdString();
    }
}

std::string WideToLatin1(const QString& text)
{
    std::string result;
    if (CopyAscii(text, result)) {
        return result;
    }
    try {
        return conv::from_utf(ToUtf32(text), "ISO-8859-1", conv::skip);
    } catch (...) {
        result.clear();
        for (const QChar c : text) {
            if (c.unicode() <= 0xFF) {
                result.push_back(static_cast<char>(c.unicode()));
            }
        }
        return result;
    }
}

QString Latin1ToWide(const std::string& latin1)
{
    if (IsAscii(latin1)) {
        return QString::fromLatin1(latin1.data(), static_cast<qsizetype>(latin1.size()));
    }
    try {
        return FromUtf32(conv::to_utf<wchar_t>(latin1, "ISO-8859-1", conv::skip));
    } catch (...) {
        return QString::fromLatin1(latin1.data(), static_cast<qsizetype>(latin1.size()));
    }
}

bool IsValidUtf8(const std::string& text)
{
    using Traits = boost::locale::utf::utf_traits<char>;
    auto current = text.begin();
    const auto end = text.end();
    while (current != end) {
        const boost::locale::utf::code_point c = Traits::decode(current, end);
        if (c == boost::locale::utf::illegal || c == boost::locale::utf::incomplete) {
            return false;
        }
    }
    return true;
}

std::string WideToPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString PathToWide(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

#include "Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace
{

// Our own bytes beside the text, so that nothing depends on how the platform
// converts text/plain on its way back.
const QString BytesFormat = QStringLiteral("application/x-ostrel-text8");

std::string ToLatin1Dropping(const QString& text)
{
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (const char32_t codePoint : text.toUcs4())
    {
        if (codePoint < 0x100)
        {
            bytes.push_back(static_cast<char>(codePoint));
        }
    }
    return bytes;
}

} // namespace

void SetClipboardText8(const std::string& text)
{
    auto* data = new QMimeData;
    const QByteArray bytes(text.data(), static_cast<qsizetype>(text.size()));
    data->setText(QString::fromLatin1(bytes));
    data->setData(BytesFormat, bytes);
    QGuiApplication::clipboard()->setMimeData(data);
}

std::string GetClipboardText8()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (data == nullptr)
    {
        return {};
    }
    if (data->hasFormat(BytesFormat))
    {
        const QByteArray bytes = data->data(BytesFormat);
        return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    if (data->hasText())
    {
        return ToLatin1Dropping(data->text());
    }
    return {};
}

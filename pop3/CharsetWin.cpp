#include "pop3/Charset.h"

#include "base/ComApartment.h"

#include <QHash>
#include <QMutex>
#include <QStringDecoder>
#include <climits>

#include <windows.h>
#include <mlang.h>

// MinGW's header declares the interface without its identifier.
__CRT_UUID_DECL(IMultiLanguage2, 0xdccfc164, 0x2b38, 0x11d2, 0xb7, 0xec, 0x00, 0xc0, 0x4f, 0x8f, 0x5d, 0x9a)

namespace {

// MIME allows no longer charset name; anything longer is not looked up.
constexpr qsizetype MaxCharsetName = 40;

// Qt without ICU knows only the Unicode forms and Latin-1; they decode as
// on Linux.
std::optional<QString> QtDecoded(QStringDecoder& decoder, const QByteArray& bytes)
{
    const QString text = decoder(bytes);
    return decoder.hasError() ? std::nullopt : std::optional(text);
}

// Windows' own table of MIME charset names and their aliases.
std::optional<UINT> LookedUpCodePage(const QByteArray& charset)
{
    const ComApartment apartment(COINIT_MULTITHREADED);
    IMultiLanguage2* languages = nullptr;
    if (FAILED(CoCreateInstance(CLSID_CMultiLanguage, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&languages))))
        return std::nullopt;
    const QString name = QString::fromLatin1(charset);
    BSTR wideName = SysAllocString(reinterpret_cast<const wchar_t*>(name.utf16()));
    MIMECSETINFO info{};
    const HRESULT found = wideName ? languages->GetCharsetInfo(wideName, &info) : E_OUTOFMEMORY;
    SysFreeString(wideName);
    languages->Release();
    return found == S_OK ? std::optional(info.uiInternetEncoding) : std::nullopt;
}

// Only names found are kept, so strange names from senders cannot fill it.
std::optional<UINT> CodePage(const QByteArray& charset)
{
    static QMutex mutex;
    static QHash<QByteArray, UINT> known;
    const QByteArray key = charset.toLower();
    {
        const QMutexLocker locker(&mutex);
        if (const auto it = known.constFind(key); it != known.cend())
            return *it;
    }
    const std::optional<UINT> codePage = LookedUpCodePage(charset);
    if (codePage) {
        const QMutexLocker locker(&mutex);
        known.insert(key, *codePage);
    }
    return codePage;
}

int WideLength(UINT codePage, DWORD flags, const QByteArray& bytes)
{
    return MultiByteToWideChar(codePage, flags, bytes.constData(), static_cast<int>(bytes.size()), nullptr, 0);
}

// Bad bytes fail the whole text, as they do on Linux; the converters that
// take no flags (ISO-2022, UTF-7) do not report them.
std::optional<QString> CodePageDecoded(UINT codePage, const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return QString();
    if (bytes.size() > INT_MAX)
        return std::nullopt;
    DWORD flags = MB_ERR_INVALID_CHARS;
    int length = WideLength(codePage, flags, bytes);
    if (length == 0 && GetLastError() == ERROR_INVALID_FLAGS) {
        flags = 0;
        length = WideLength(codePage, flags, bytes);
    }
    if (length == 0)
        return std::nullopt;
    QString text(length, Qt::Uninitialized);
    MultiByteToWideChar(codePage, flags, bytes.constData(), static_cast<int>(bytes.size()),
                        reinterpret_cast<wchar_t*>(text.data()), length);
    return text;
}

} // namespace

std::optional<QString> CharsetDecoded(const QByteArray& charset, const QByteArray& bytes)
{
    QStringDecoder decoder(charset.constData(), QStringDecoder::Flag::Stateless);
    if (decoder.isValid())
        return QtDecoded(decoder, bytes);
    if (charset.isEmpty() || charset.size() > MaxCharsetName)
        return std::nullopt;
    const std::optional<UINT> codePage = CodePage(charset);
    return codePage ? CodePageDecoded(*codePage, bytes) : std::nullopt;
}

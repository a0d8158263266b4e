#include "cp936.h"

#include <QList>
#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace {

// One conversion direction, opened once; iconv descriptors keep state between calls,
// so every conversion starts with a reset.
class Converter
{
public:
    Converter(const char *to, const char *from) : m_cd(iconv_open(to, from)) {}
    ~Converter()
    {
        if (m_cd != iconv_t(-1))
            iconv_close(m_cd);
    }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;

    // Converts `in`; an unconvertible or invalid input unit is skipped and `replacement`
    // written instead. `unit` is the input unit skipped on a bad sequence.
    QByteArray convert(const QByteArray &in, const QByteArray &replacement, size_t unit) const
    {
        QByteArray out;
        if (m_cd == iconv_t(-1) || in.isEmpty())
            return out;
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        out.resize(in.size() * 4 + 16);
        char *src = const_cast<char *>(in.constData());
        size_t srcLeft = size_t(in.size());
        char *dst = out.data();
        size_t dstLeft = size_t(out.size());
        while (srcLeft > 0) {
            if (iconv(m_cd, &src, &srcLeft, &dst, &dstLeft) != size_t(-1))
                break;
            if (errno == E2BIG) {
                const qsizetype used = dst - out.data();
                out.resize(out.size() * 2);
                dst = out.data() + used;
                dstLeft = size_t(out.size() - used);
                continue;
            }
            // EILSEQ or EINVAL (a sequence cut short at the end): replace and go on.
            const size_t skip = std::min(unit, srcLeft);
            src += skip;
            srcLeft -= skip;
            if (dstLeft < size_t(replacement.size()) + 8) {
                const qsizetype used = dst - out.data();
                out.resize(out.size() * 2 + replacement.size());
                dst = out.data() + used;
                dstLeft = size_t(out.size() - used);
            }
            memcpy(dst, replacement.constData(), size_t(replacement.size()));
            dst += replacement.size();
            dstLeft -= size_t(replacement.size());
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        }
        out.resize(dst - out.data());
        return out;
    }

private:
    iconv_t m_cd;
};

const Converter &toCp936()
{
    static const Converter c("CP936", "UTF-32LE");
    return c;
}

const Converter &fromCp936()
{
    static const Converter c("UTF-32LE", "CP936");
    return c;
}

} // namespace

namespace cp936 {

QByteArray encode(const QString &text)
{
    const QList<uint> ucs4 = text.toUcs4();
    const QByteArray in(reinterpret_cast<const char *>(ucs4.constData()), ucs4.size() * 4);
    return toCp936().convert(in, QByteArrayLiteral("?"), 4);
}

QString decode(const QByteArray &bytes)
{
    static const char32_t replacement = 0xFFFD;
    const QByteArray out =
        fromCp936().convert(bytes, QByteArray(reinterpret_cast<const char *>(&replacement), 4), 1);
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(out.constData()), out.size() / 4);
}

int byteLength(const QString &text)
{
    return int(encode(text).size());
}

} // namespace cp936

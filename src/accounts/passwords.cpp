#include "passwords.h"

#include <crypt.h>
#include <cstring>
#include <memory>

namespace {

const QString kPrefix = QStringLiteral("$y$");

// Compares without stopping at the first difference, so timing tells nothing.
bool sameBytes(const char *a, const QByteArray &b)
{
    const size_t n = std::strlen(a);
    if (n != size_t(b.size()))
        return false;
    unsigned char diff = 0;
    for (size_t i = 0; i < n; ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

} // namespace

namespace passwords {

bool isHashed(const QString &stored)
{
    return stored.startsWith(kPrefix);
}

Result<QString> hash(const QString &clear)
{
    const QByteArray phrase = clear.toUtf8();
    if (phrase.contains('\0'))
        return failure(QStringLiteral("密码不能包含空字符！"));
    char salt[CRYPT_GENSALT_OUTPUT_SIZE];
    if (!crypt_gensalt_rn(kPrefix.toLatin1().constData(), 0, nullptr, 0, salt, sizeof salt))
        return failure(QStringLiteral("无法生成密码！"));
    auto data = std::make_unique<crypt_data>();
    const char *out = crypt_rn(phrase.constData(), salt, data.get(), sizeof *data);
    if (!out || out[0] == '*')
        return failure(QStringLiteral("无法生成密码！"));
    return QString::fromLatin1(out);
}

bool matches(const QString &stored, const QString &typed)
{
    if (!isHashed(stored))
        return stored == typed;
    const QByteArray phrase = typed.toUtf8();
    if (phrase.contains('\0'))
        return false;
    const QByteArray setting = stored.toLatin1();
    auto data = std::make_unique<crypt_data>();
    const char *out = crypt_rn(phrase.constData(), setting.constData(), data.get(), sizeof *data);
    return out && out[0] != '*' && sameBytes(out, setting);
}

} // namespace passwords

#include "commands.h"

#include "common/cp936.h"

namespace {

ClientCommand sendCommand(const QString &tag, const QStringList &fields)
{
    ClientCommand c;
    c.kind = ClientCommand::Kind::Send;
    c.bytes = request(tag, fields);
    return c;
}

ClientCommand invalid(const QString &why)
{
    ClientCommand c;
    c.kind = ClientCommand::Kind::Invalid;
    c.error = why;
    return c;
}

int hexValue(QChar c)
{
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

} // namespace

QStringList splitWords(const QString &line, QList<qsizetype> *starts)
{
    QStringList words;
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (i < n) {
        while (i < n && line.at(i).isSpace())
            ++i;
        if (i >= n)
            break;
        if (starts)
            starts->append(i);
        QString word;
        if (line.at(i) == u'"') {
            for (++i; i < n && line.at(i) != u'"'; ++i)
                word += line.at(i);
            ++i; // the closing quote
        } else {
            for (; i < n && !line.at(i).isSpace(); ++i)
                word += line.at(i);
        }
        words << word;
    }
    return words;
}

QString joinArguments(const QStringList &arguments)
{
    QStringList quoted;
    for (const QString &a : arguments) {
        bool blank = a.isEmpty();
        for (QChar c : a)
            blank = blank || c.isSpace();
        quoted << (blank ? QStringLiteral("\"") + a + QStringLiteral("\"") : a);
    }
    return quoted.join(u' ');
}

QByteArray rawBytes(const QString &text, QString *error)
{
    const QString trimmed = text.trimmed();
    // Hex when the text is nothing but hex digits and blanks, in pairs.
    QString digits;
    bool hex = !trimmed.isEmpty();
    for (QChar c : trimmed) {
        if (c.isSpace())
            continue;
        if (hexValue(c) < 0) {
            hex = false;
            break;
        }
        digits += c;
    }
    if (hex && digits.size() % 2 == 0) {
        QByteArray out;
        for (qsizetype i = 0; i < digits.size(); i += 2)
            out += char(hexValue(digits.at(i)) * 16 + hexValue(digits.at(i + 1)));
        return out;
    }
    QByteArray out;
    QString plain;
    auto flush = [&] {
        out += cp936::encode(plain);
        plain.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != u'\\' || i + 1 >= text.size()) {
            plain += c;
            continue;
        }
        const QChar e = text.at(++i);
        flush();
        if (e == u'0')
            out += '\0';
        else if (e == u'n')
            out += '\n';
        else if (e == u'r')
            out += '\r';
        else if (e == u't')
            out += '\t';
        else if (e == u'\\')
            out += '\\';
        else if (e == u'x' && i + 2 < text.size() && hexValue(text.at(i + 1)) >= 0 &&
                 hexValue(text.at(i + 2)) >= 0) {
            out += char(hexValue(text.at(i + 1)) * 16 + hexValue(text.at(i + 2)));
            i += 2;
        } else {
            if (error)
                *error = QStringLiteral("unknown escape \\") + e;
            plain += u'\\';
            plain += e;
        }
    }
    flush();
    return out;
}

QByteArray request(const QString &tag, const QStringList &fields)
{
    QByteArray out = cp936::encode(tag);
    for (const QString &f : fields) {
        out += '\0';
        out += cp936::encode(f);
    }
    return out;
}

QString visible(const QByteArray &message, const QString &separator)
{
    QStringList parts;
    for (const QByteArray &field : message.split('\0'))
        parts << cp936::decode(field);
    return parts.join(separator);
}

ClientCommand parseCommand(const QString &line)
{
    QList<qsizetype> starts;
    const QStringList w = splitWords(line, &starts);
    if (w.isEmpty() || w.first().startsWith(u'#'))
        return {};
    const QString verb = w.first().toLower();
    // The rest of the line from word i as typed; a single (perhaps quoted) word as the word.
    const auto rest = [&](int i) {
        if (i >= starts.size())
            return QString();
        return i == starts.size() - 1 ? w.at(i) : line.mid(starts.at(i)).trimmed();
    };
    const auto word = [&](int i) { return w.value(i); };

    if (verb == u"start")
        return sendCommand(QStringLiteral("_comm"), {QStringLiteral("start")});
    if (verb == u"comm" && w.size() >= 2)
        return sendCommand(QStringLiteral("_comm"), w.mid(1));
    if (verb == u"sele" && w.size() == 2)
        return sendCommand(QStringLiteral("_sele"), {word(1)});
    if (verb == u"good" && w.size() >= 2)
        return sendCommand(QStringLiteral("_good"), w.mid(1));
    if (verb == u"gets" && (word(1) == u"good" || word(1) == u"time") && w.size() == 2)
        return sendCommand(QStringLiteral("_gets"), {word(1)});
    if (verb == u"gets" && word(1) == u"card" && w.size() == 4)
        return sendCommand(QStringLiteral("_gets"), {word(1), word(2), word(3)});
    if (verb == u"vali" && w.size() == 4)
        return sendCommand(QStringLiteral("_vali"), {word(1), word(2), word(3)});
    if (verb == u"talk" && w.size() >= 3) {
        const QString what = word(1);
        if (what == u"login" || what == u"talk" || what == u"change")
            return sendCommand(QStringLiteral("_talk"), {what, word(2), rest(3)});
        if (what == u"quit")
            return sendCommand(QStringLiteral("_talk"), {what, word(2)});
    }
    if (verb == u"prog")
        return sendCommand(QStringLiteral("_prog"), w.mid(1));
    if (verb == u"send" && w.size() >= 2)
        return sendCommand(word(1), w.mid(2));
    if (verb == u"raw" && w.size() >= 2) {
        QString error;
        ClientCommand c;
        c.kind = ClientCommand::Kind::Send;
        c.raw = true;
        c.bytes = rawBytes(rest(1), &error);
        return error.isEmpty() ? c : invalid(error);
    }
    if (verb == u"sleep" && w.size() == 2) {
        bool ok = false;
        const double seconds = word(1).toDouble(&ok);
        if (ok && seconds >= 0) {
            ClientCommand c;
            c.kind = ClientCommand::Kind::Sleep;
            c.seconds = seconds;
            return c;
        }
    }
    return invalid(QStringLiteral("cannot read: ") + line);
}

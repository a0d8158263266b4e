#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The little command language of the café-PC simulator: one request per line, turned into the
// bytes a client program sends.
struct ClientCommand
{
    enum class Kind { Send, Sleep, Nothing, Invalid };

    Kind kind = Kind::Nothing;
    QByteArray bytes;   // Send: the request (without end mark) or, for raw, the exact bytes
    bool raw = false;   // raw bytes go out as they stand, nothing appended
    double seconds = 0; // Sleep
    QString error;      // Invalid

    // The tag of the request ("_gets" for "gets good"); empty for raw bytes.
    QByteArray tag() const { return raw ? QByteArray() : bytes.left(5); }
};

// Parses one line: start | comm WORD | sele N | good NO NAME QTY [NO NAME QTY ...] |
// gets good | gets time | gets card NO PW | vali NAME PW setup|close|shutdown|cardend |
// talk login NAME [EXTRA] | talk talk NAME TEXT | talk change NAME [TEXT] | talk quit NAME |
// prog [TITLE NO ...] | send TAG [FIELD ...] | raw HEX-OR-ESCAPED | sleep SECONDS.
// Blank lines and lines starting with "#" are Nothing. Words may be quoted with "...".
ClientCommand parseCommand(const QString &line);

// The words of a line; a "..." word keeps its blanks. `starts` receives where each word
// starts in the line, so a command can take the rest of the line as it stands.
QStringList splitWords(const QString &line, QList<qsizetype> *starts = nullptr);
// Joins command-line arguments into one line, quoting those with blanks.
QString joinArguments(const QStringList &arguments);

// "41 42 00" (hex digits, blanks allowed) or text with \0 \r \n \t \\ \xNN escapes (the rest
// encoded in code page 936).
QByteArray rawBytes(const QString &text, QString *error = nullptr);

// A tag and fields as a client sends them: tag, then each field after a 0x00.
QByteArray request(const QString &tag, const QStringList &fields);

// A received message for people: fields decoded from code page 936 and joined with
// `separator` in place of every 0x00.
QString visible(const QByteArray &message, const QString &separator = QStringLiteral("|"));

#pragma once

#include <QTextStream>

// The standard streams of the command-line tools, as text.
inline QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

inline QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

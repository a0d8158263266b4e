#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

// Display formats shared by the machine list, bills, replies to clients and reports.

// "###,###0.00元": thousands separated by commas, two decimals (1,234.50元).
QString formatListMoney(double yuan);
// "###0.00元" (1234.50元).
QString formatMoney(double yuan);
// "￥###0.00元" (￥1234.50元).
QString formatBillMoney(double yuan);
// "###0.0元" (12.5元).
QString formatMoneyOneDecimal(double yuan);
// "###0.00小时" (3.00小时).
QString formatHours(double hours);

// "m月d日 hh:nn" (3月7日 09:05); empty for an empty moment.
QString formatShortDateTime(const QDateTime &t);
// "yyyy年mm月dd日hh:nn" (2002年03月07日09:05).
QString formatLongDateTime(const QDateTime &t);
// The status bar clock: "yyyy年mm月dd日hh:nn:ss  " followed by the weekday name.
QString formatClock(const QDateTime &t);
// Elapsed minutes as hours ":" minutes, no leading zeros (125 -> "2:5").
QString formatHoursMinutes(qint64 minutes);

// "星期日" … "星期六".
QString weekdayName(const QDate &date);

// Stored formats: "yyyy-MM-dd HH:mm:ss" and "HH:mm:ss".
QString storedDateTime(const QDateTime &t);
QDateTime parseStoredDateTime(const QString &text);
QString storedTime(const QTime &t);
QTime parseStoredTime(const QString &text);

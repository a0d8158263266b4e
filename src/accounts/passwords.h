#pragma once

#include "common/result.h"

#include <QString>

// Stored passwords of operators and cards. New ones are yescrypt hashes; a stored value in
// any other form is a password kept in clear by older versions, compared exactly and
// replaced by its hash on its first successful check.
namespace passwords {

bool isHashed(const QString &stored);

// A fresh hash of `clear` with a random salt.
Result<QString> hash(const QString &clear);

// Whether `typed` is the password `stored` stands for.
bool matches(const QString &stored, const QString &typed);

} // namespace passwords

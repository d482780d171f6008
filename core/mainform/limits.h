#pragma once

#include <QString>

// A limit text as a number: the user's number format first, "." as decimal point
// where that fails. Text that is no number means no limit and gives 0, like "0".
double limitValue(const QString &text);

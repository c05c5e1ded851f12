#pragma once
// Logging category of the modem link's traffic lines ("[OUT] -> ", "[IN] <- ", "[OP] <X> ").
// On by default; off with the standard Qt rules, e.g. QT_LOGGING_RULES="zarnik.link.traffic.debug=false".

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(trafficLog)

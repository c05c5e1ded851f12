#include "traffic_log.h"

Q_LOGGING_CATEGORY(trafficLog, "zarnik.link.traffic")

#include "status_records.h"

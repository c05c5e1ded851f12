#include "defaultswindow.h"

// Sensitivity and Doppler tests of the testing tab; they arrive with the attenuator driver.

void DefaultsWindow::testing_statistic_handler(REP_EXTENDED_STATUS_t) {}

void DefaultsWindow::testing_rx_frequency_handler(REP_RX_FREQUENCY_t) {}

void DefaultsWindow::testing_statistic_enable() {}

#pragma once
// State and rules of the sensitivity and Doppler searches: reports summed into measurements,
// each measurement judged, the next attenuation or receive frequency chosen. No widgets, no I/O.

#include "att_dc_6ghz_30db.h"

#include <QtGlobal>

// What one report led to. The owner logs it and applies a new point.
struct testing_step {
    enum verdict_t { waiting, failed, passed };
    verdict_t verdict = waiting;
    bool moved = false;    // a new point to set: testing_att_cur or testing_freq
    bool complete = false; // the search is over
};

class testing_search {
public:
    enum : int { testing_off = 0, testing_sensitivity = 1, testing_doppler = 2 };

    // Counters, thresholds and both searches for a new test, from the test tab's values.
    void testing_start(qint64 timeout, qint64 min_pkt, double max_error, bool att_opened,
                       quint64 doppler_min, quint64 doppler_max);
    // Adds one extended status report to the measurement: warm-up, bad reports, restarts.
    void testing_count(bool sync, quint16 received, quint16 missed);
    // Judges the measurement once it is complete and moves the search of testing_mode on.
    testing_step testing_decide();

    int testing_mode = testing_off;
    quint64 testing_received = 0;
    quint64 testing_missed = 0;
    quint64 testing_total = 0;
    quint64 testing_prev_total = 0;
    qint64 testing_min_pkt = 0;
    qint64 testing_sync_count = -2;
    qint64 testing_timeout = 0;
    qint64 testing_bad_count = 0;
    double testing_ratio = 0.0;
    double testing_upper = 0.0;
    double testing_lower = 0.0;
    quint8 testing_sync = 0;
    quint8 testing_prev_sync = 0;
    double testing_result = 1.0;
    att_dc_6ghz_30db testing_att;
    double testing_att_initial = 0.0;
    double testing_att_measured = 0.0;
    double testing_att_cur = 0.0;
    double testing_att_max = 0.0;
    double testing_att_step = 0.0;
    double testing_att_result = 0.0;
    quint64 testing_freq_initial = 0;
    quint64 testing_freq_measured = 0;
    quint64 testing_cur_freq = 0;
    quint64 testing_freq = 0;
    quint64 testing_freq_end = 0;
    quint64 testing_freq_step = 0;
    quint64 testing_freq_result = 0;

private:
    void testing_add(quint16 received, quint16 missed);
    void testing_restart_measurement();
    // Both return whether the search has stepped below its resolution; back_at_start tells
    // whether a failed measurement was taken at the starting point.
    bool testing_next_att(bool pass, bool& back_at_start);
    bool testing_next_freq(bool pass, bool& back_at_start);
};

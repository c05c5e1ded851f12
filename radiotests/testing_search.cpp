#include "testing_search.h"

namespace {

constexpr double kAttResolution = 0.125; // dB
constexpr quint64 kFreqResolution = 200; // Hz
constexpr double kHalfLost = 0.5;

} // namespace

void testing_search::testing_start(qint64 timeout, qint64 min_pkt, double max_error, bool att_opened,
                                   quint64 doppler_min, quint64 doppler_max)
{
    testing_received = testing_missed = testing_total = testing_prev_total = 0;
    testing_bad_count = 0;
    testing_sync_count = -2;
    testing_timeout = timeout;
    testing_min_pkt = min_pkt;
    testing_upper = max_error + kHalfLost;
    testing_lower = kHalfLost - max_error;
    testing_sync = testing_prev_sync = 0;
    testing_result = 1.0;

    if (att_opened) {
        testing_att_initial = testing_att_measured = testing_att.attenuation;
        testing_att_cur = testing_att.att_min;
        testing_att_max = testing_att_result = testing_att.att_max;
        testing_att_step = 2 * (testing_att.att_max - testing_att.att_min);
    } else {
        testing_att_initial = testing_att_measured = testing_att_cur = testing_att_max = 0.0;
        testing_att_step = testing_att_result = 99.0;
    }

    testing_freq_initial = testing_freq_measured = testing_cur_freq;
    testing_freq = testing_cur_freq + doppler_min;
    testing_freq_end = testing_freq_result = testing_cur_freq + doppler_max;
    // MIN above MAX leaves nothing to search: one measurement at MIN, no wrapped steps.
    testing_freq_step = testing_freq_end > testing_freq ? 2 * (testing_freq_end - testing_freq) : 0;
}

void testing_search::testing_count(bool sync, quint16 received, quint16 missed)
{
    testing_prev_sync = testing_sync;
    testing_sync = sync ? 1 : 0;

    if (testing_bad_count == 0 && ++testing_sync_count <= 0) {
        // Warm-up: the receiver may still be settling, only a report out of sync counts.
        if (!sync) {
            testing_add(received, missed);
            testing_bad_count = 1;
        }
        return;
    }

    testing_add(received, missed);
    if (testing_total == testing_prev_total || !sync)
        ++testing_bad_count;
    else if (testing_bad_count > 0 || !testing_prev_sync)
        testing_restart_measurement();
}

testing_step testing_search::testing_decide()
{
    testing_step step;
    if (testing_sync_count < testing_timeout || qint64(testing_total) < testing_min_pkt) {
        if (testing_bad_count < testing_timeout)
            return step;
        testing_ratio = 1.0;
    } else if (testing_bad_count >= testing_timeout || testing_total == 0) {
        testing_ratio = 1.0;
    } else {
        testing_ratio = double(testing_missed) / double(testing_total);
    }

    const bool pass = testing_ratio <= kHalfLost; // false for NaN as well
    if (pass)
        testing_result = testing_ratio;
    step.verdict = pass ? testing_step::passed : testing_step::failed;

    bool back_at_start = false;
    const bool resolved = testing_mode == testing_sensitivity ? testing_next_att(pass, back_at_start)
                                                              : testing_next_freq(pass, back_at_start);
    testing_restart_measurement();
    step.moved = !resolved;
    step.complete = resolved || back_at_start
                    || (testing_lower < testing_ratio && testing_ratio < testing_upper);
    return step;
}

void testing_search::testing_add(quint16 received, quint16 missed)
{
    testing_received += received;
    testing_missed += missed;
    testing_prev_total = testing_total;
    testing_total = testing_received + testing_missed;
}

void testing_search::testing_restart_measurement()
{
    testing_received = testing_missed = testing_total = testing_prev_total = 0;
    testing_bad_count = 0;
    testing_sync_count = -1;
}

bool testing_search::testing_next_att(bool pass, bool& back_at_start)
{
    testing_att_step *= 0.5;
    testing_att_measured = testing_att.attenuation;
    if (pass) {
        testing_att_result = testing_att.attenuation;
        testing_att_cur += testing_att_step;
    } else {
        back_at_start = testing_att_cur == testing_att_initial;
        testing_att_cur -= testing_att_step;
    }
    return testing_att_step < kAttResolution;
}

bool testing_search::testing_next_freq(bool pass, bool& back_at_start)
{
    const quint64 old_step = testing_freq_step;
    testing_freq_step = old_step / 2;
    testing_freq_measured = testing_cur_freq;
    if (pass) {
        testing_freq_result = testing_cur_freq;
        testing_freq += testing_freq_step;
    } else {
        back_at_start = testing_freq == testing_freq_initial;
        testing_freq -= testing_freq_step;
    }
    return old_step < kFreqResolution;
}

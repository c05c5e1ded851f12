#include "defaultswindow.h"

#include "ui_defaultswindow.h"

#include <QLocale>

// The testing tab: the window reads the tab's settings, logs, and applies what the search of
// testing_search decides (a new attenuation, a new receive frequency, the end of the test).

namespace {

constexpr int kShortest = QLocale::FloatingPointShortest;

void testing_log(QPlainTextEdit* log, const QString& line)
{
    log->appendPlainText(line);
}

// A report in quiet mode: one dot on the current line.
void testing_tick(QPlainTextEdit* log)
{
    log->moveCursor(QTextCursor::End);
    log->insertPlainText(QStringLiteral("."));
}

} // namespace

void DefaultsWindow::testing_statistic_enable()
{
    const QString name = ui->testing_att_name_le->text();
    if (!ui->testing_enable_pbt->isChecked()) {
        testing_mode = testing_off;
        testing_restore();
        testing_log(ui->testing_pte, QStringLiteral("TEST CANCEL"));
        testing_journal(QStringLiteral("TEST CANCEL"));
        return;
    }
    if (testing_cur_freq == 0) {
        testing_log(ui->testing_pte, QStringLiteral("testing_statistic_enable: testing_cur_freq == 0"));
        ui->testing_enable_pbt->setChecked(false);
        return;
    }

    const bool att_opened = testing_att.initialize(name);
    testing_start(ui->testing_pkt_timeout_spb->value(), ui->testing_min_pkt_count_spb->value(),
                  ui->testing_max_error_dsb->value(), att_opened,
                  quint64(ui->testing_doppler_min_spb->value()), quint64(ui->testing_doppler_max_spb->value()));

    if (ui->testing_sens_rbt->isChecked()) {
        testing_log(ui->testing_pte, QStringLiteral("SENS TEST: attenuation %2 dB, (%3:%4) ")
                                         .arg(testing_att_cur, 2, 'f', 2)
                                         .arg(testing_lower, 2, 'f', 2)
                                         .arg(testing_upper, 2, 'f', 2));
        if (testing_att_max != 0) {
            testing_att.set_attenuation(testing_att_cur);
            testing_mode = testing_sensitivity;
        } else {
            testing_log(ui->testing_pte, QStringLiteral("testing_att.initialize(\"%1\") failed").arg(name));
            testing_journal(QStringLiteral("testing_att.initialize(\"%1\") failed").arg(name));
            ui->testing_enable_pbt->setChecked(false);
        }
    } else if (ui->testing_doppler_rbt->isChecked()) {
        testing_log(ui->testing_pte, QStringLiteral("TEST DOPPLER: frequency %1 Hz, (%2:%3) ")
                                         .arg(testing_freq)
                                         .arg(testing_lower, 2, 'f', 2)
                                         .arg(testing_upper, 2, 'f', 2));
        emit signal_testing_rx_next_freq(testing_freq);
        testing_mode = testing_doppler;
    }
}

void DefaultsWindow::testing_statistic_handler(ExtendedStatus rep)
{
    if (testing_mode == testing_off)
        return;

    const bool sync = rep.flags & ExtendedStatus::Synchronised;
    testing_count(sync, rep.received, rep.lost);
    if (ui->testing_log_chb->isChecked())
        testing_log(ui->testing_pte, QStringLiteral("[%1/%2/%3]: %4, total %5, pkt %6, miss %7")
                                         .arg(testing_sync_count, 2)
                                         .arg(testing_timeout, 2)
                                         .arg(testing_bad_count, 2)
                                         .arg(sync ? QStringLiteral("SYN") : QStringLiteral("___"))
                                         .arg(testing_total)
                                         .arg(testing_received)
                                         .arg(testing_missed));
    else
        testing_tick(ui->testing_pte);

    const testing_step step = testing_decide();
    if (step.verdict == testing_step::waiting)
        return;
    const bool passed = step.verdict == testing_step::passed;
    const QString result = QStringLiteral("RESULT: %1 - %2")
                               .arg(testing_ratio, 2, 'f', 2)
                               .arg(passed ? QStringLiteral("success") : QStringLiteral("failed"));
    testing_log(ui->testing_pte, result);
    testing_journal(result);

    if (step.moved) {
        const QChar sign = passed ? QLatin1Char('+') : QLatin1Char('-');
        if (testing_mode == testing_sensitivity) {
            testing_log(ui->testing_pte, QStringLiteral("START: attenuation %1 dB (%2 %3%4) ")
                                             .arg(testing_att_cur, 0, 'g', kShortest)
                                             .arg(testing_att_measured, 0, 'g', kShortest)
                                             .arg(sign)
                                             .arg(testing_att_step, 0, 'g', kShortest));
            testing_att.set_attenuation(testing_att_cur);
        } else {
            testing_log(ui->testing_pte, QStringLiteral("START: frequency %1 Hz (%2 %3%4) ")
                                             .arg(testing_freq)
                                             .arg(testing_freq_measured)
                                             .arg(sign)
                                             .arg(testing_freq_step));
            emit signal_testing_rx_next_freq(testing_freq);
        }
    }

    if (!step.complete)
        return;
    const QString complete = QStringLiteral("COMPLETE: result %1, att %2, freq %3, rssi %4")
                                 .arg(testing_result, 2, 'f', 2)
                                 .arg(testing_att_result, 0, 'g', kShortest)
                                 .arg(testing_freq_result)
                                 .arg(-(rep.rssi / 100));
    testing_log(ui->testing_pte, complete);
    testing_journal(complete);
    ui->testing_enable_pbt->setChecked(false);
    testing_mode = testing_off;
    testing_restore();
}

void DefaultsWindow::testing_rx_frequency_handler(FrequencyRecord rep)
{
    testing_cur_freq = rep.frequency;
}

// Both ends of a test leave the attenuator and the modem's receiver as they were at the start.
void DefaultsWindow::testing_restore()
{
    testing_att.set_attenuation(testing_att_initial);
    testing_att.close();
    emit signal_testing_rx_next_freq(testing_freq_initial);
}

void DefaultsWindow::setJournal(Journal* journal)
{
    this->journal = journal;
    testing_att.setJournal(journal);
}

void DefaultsWindow::testing_journal(const QString& line)
{
    if (journal)
        journal->append(JournalEntry::Test, QString(), line);
}

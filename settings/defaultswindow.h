#pragma once
// The station's settings window for the current modem: its defaults record, presets, UART
// converters and session secret, service buttons and radio tests. It sends through its parent.

#include "journal.h"
#include "presets.h"
#include "protocol.h"
#include "records.h"
#include "status_records.h"
#include "testing_search.h"

#include <QList>
#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QSpinBox;

namespace Ui {
class DefaultsWindow;
}

// The radio tests' fields and search rules come from testing_search; the window drives them.
class DefaultsWindow : public QWidget, private testing_search {
    Q_OBJECT

public:
    // The parent is the main window: the service buttons call its slots.
    explicit DefaultsWindow(QWidget* parent = nullptr);
    ~DefaultsWindow() override;

    // State of "bc": whether the hard reset goes to every modem on the network.
    bool broadcastHardReset() const;

    // Test results and attenuator failures also go to the operator's journal.
    void setJournal(Journal* journal);

signals:
    void signal_selected_settings(int idx);
    void signal_testing_rx_next_freq(quint64 freq);
    void signal_CMD_DEFAULTS_SET(const ModemDefaults& frm);
    void signal_CMD_UART_CONV_CONFIG(const ConverterConfig& frm);
    void signal_CMD_SESSION_SECRET(const SessionSecret& frm);
    void signal_reboot();

public slots:
    void update_fields(const ModemDefaults* frm);
    void update_frequency_list(QList<uint64_t> list);
    void read_fields(OP_PAYLOAD_t& frm);

    void update_session_secret(const SessionSecret* frm);
    void read_session_secret(OP_PAYLOAD_t& frm);
    void update_conv(ConverterConfig frm);
    void read_conv(OP_PAYLOAD_t& frm);

    void testing_statistic_handler(ExtendedStatus rep);
    void testing_rx_frequency_handler(FrequencyRecord rep);

    void update_roles_cmb(int mode);
    void update_opmode_label();

    void send_selected_settings();
    void testing_statistic_enable();

    void preset_p2p_main_abonent(uint8_t mode, uint8_t ls, uint8_t hs, QString gst_string_fm2,
                                 QString gst_string_fm4);
    void preset_p2p_main_ground(uint8_t mode, uint8_t ls, uint8_t hs);
    void preset_p2p_kt_abonent(uint8_t mode, uint8_t ls, uint8_t hs);
    void preset_p2p_kt_ground(uint8_t mode, uint8_t ls, uint8_t hs);
    void preset_p2p_ls_abonent();
    void preset_p2p_ls_ground();
    void preset_p2p_hs_bpsk_abonent();
    void preset_p2p_hs_bpsk_ground();
    void preset_p2p_hs_qpsk_abonent();
    void preset_p2p_hs_qpsk_ground();
    void preset_p2p_a_abonent();
    void preset_p2p_a_ground();
    void preset_p2p_c_abonent();
    void preset_p2p_c_ground();
    void preset_p2p_d_abonent();
    void preset_p2p_d_ground();

private:
    struct SocketRow {
        QSpinBox* self_port;
        QLineEdit* dest_addr;
        QSpinBox* dest_port;
    };
    struct ConverterRow {
        QGroupBox* box;
        QComboBox* baudrate;
        QSpinBox* self_port;
        QLineEdit* dest_addr;
        QSpinBox* dest_port;
    };
    struct ChannelFrequencies {
        uint64_t rx;
        uint64_t tx;
    };

    std::array<SocketRow, 5> socketRows() const;
    std::array<SocketRow, 5> remoteSocketRows() const;
    std::array<ConverterRow, 4> converterRows() const;
    // The selected channel, else the last reported frequencies, else presetFrequency().
    ChannelFrequencies selectedFrequencies() const;
    // First channel of the list, or the first built-in one before the station gave a list.
    uint64_t presetFrequency() const;
    void showChannel(uint64_t rx_frequency, uint64_t tx_frequency);
    void sendPreset(presets::Core core, uint8_t mode, uint8_t ls, uint8_t hs,
                    const presets::Pipelines& pipelines = {});

    // Both ends of a radio test: the attenuator and the receive frequency as they were at its start.
    void testing_restore();
    // A line of the test log that the operator's journal keeps too.
    void testing_journal(const QString& line);

    std::unique_ptr<Ui::DefaultsWindow> ui;
    QList<uint64_t> frequency_list;
    // Frequencies of the last report shown: what the form sends while no channel is selected.
    std::optional<ChannelFrequencies> reported_frequencies;
    Journal* journal = nullptr;
};

#include "defaultsfile.h"

#include "defaultswindow.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

namespace {

QByteArray formRecord(const OP_PAYLOAD_t& payload, int size)
{
    return QByteArray(reinterpret_cast<const char*>(payload.bytes), size);
}

} // namespace

DefaultsFile::DefaultsFile(DefaultsWindow& window, QPushButton* saveButton, QPushButton* loadButton, QLabel* status,
                           QCheckBox* secretSave)
    : QObject(&window)
    , m_window(window)
    , m_status(status)
    , m_secretSave(secretSave)
{
    m_chooser = [this](bool save) {
        const QString filter = QStringLiteral("JSON (*.json)");
        return save ? QFileDialog::getSaveFileName(&m_window, QStringLiteral("Сохранить настройки модема"), QString(), filter)
                    : QFileDialog::getOpenFileName(&m_window, QStringLiteral("Загрузить настройки модема"), QString(), filter);
    };
    connect(saveButton, &QPushButton::clicked, this, &DefaultsFile::save);
    connect(loadButton, &QPushButton::clicked, this, &DefaultsFile::load);
}

void DefaultsFile::save()
{
    const QString path = m_chooser(true);
    if (!path.isEmpty())
        saveTo(path);
}

void DefaultsFile::load()
{
    const QString path = m_chooser(false);
    if (!path.isEmpty())
        loadFrom(path);
}

ModemConfiguration DefaultsFile::fromForm()
{
    ModemConfiguration c;
    c.saved = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    OP_PAYLOAD_t defaults;
    m_window.read_fields(defaults);
    c.defaults = records::decodeDefaults(formRecord(defaults, records::kDefaultsSize));
    OP_PAYLOAD_t converters;
    m_window.read_conv(converters);
    c.converters = records::decodeConverters(formRecord(converters, records::kConverterConfigSize));
    // Only the secret's length leaves the form, as in a backup without the secret.
    OP_PAYLOAD_t secret;
    m_window.read_session_secret(secret);
    const SessionSecret s = records::decodeSessionSecret(formRecord(secret, records::kSecretRecordSize));
    c.secretLength = s.secret.size();
    c.secretSave = s.save;
    return c;
}

bool DefaultsFile::saveTo(const QString& path)
{
    QString error;
    const QString name = QFileInfo(path).fileName();
    if (!configfile::writeFile(path, fromForm(), error)) {
        show(QStringLiteral("Файл не записан: %1").arg(name), error, true);
        return false;
    }
    show(QStringLiteral("Сохранено: %1").arg(name), path, false);
    return true;
}

bool DefaultsFile::loadFrom(const QString& path)
{
    ModemConfiguration c;
    QString error;
    const QString name = QFileInfo(path).fileName();
    if (!configfile::readFile(path, c, error)) {
        show(QStringLiteral("Файл не прочитан: %1").arg(name), error, true);
        return false;
    }
    m_window.update_fields(&c.defaults);
    m_window.update_conv(c.converters);
    if (c.secret) {
        const SessionSecret s{c.secretSave, *c.secret};
        m_window.update_session_secret(&s);
        m_secretSave->setChecked(c.secretSave);
    }
    // The form offers only the channels of the list: another frequency would go out as channel 0.
    OP_PAYLOAD_t shown;
    m_window.read_fields(shown);
    const ModemDefaults d = records::decodeDefaults(formRecord(shown, records::kDefaultsSize));
    if (d.rx_frequency != c.defaults.rx_frequency || d.tx_frequency != c.defaults.tx_frequency) {
        show(QStringLiteral("Загружено, но частоты файла нет в списке каналов: %1").arg(name), path, true);
        return true;
    }
    show(QStringLiteral("Загружено: %1").arg(name), path, false);
    return true;
}

void DefaultsFile::show(const QString& text, const QString& detail, bool failed)
{
    if (failed)
        qWarning("Configuration file: %s", qPrintable(detail));
    m_status->setText(text);
    m_status->setToolTip(detail);
    m_status->setStyleSheet(failed ? QStringLiteral("color: red;") : QString());
}

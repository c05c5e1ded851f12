#pragma once
// Collects the Qt message log while alive, so tests can compare diagnostic lines exactly.

#include <QString>
#include <QStringList>
#include <QtGlobal>

class MessageLog {
public:
    MessageLog() : previous(qInstallMessageHandler(&MessageLog::collect)) { active = this; }
    ~MessageLog()
    {
        qInstallMessageHandler(previous);
        active = nullptr;
    }
    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;

    QStringList lines;

private:
    static void collect(QtMsgType, const QMessageLogContext&, const QString& text)
    {
        if (active)
            active->lines << text;
    }

    static inline MessageLog* active = nullptr;
    QtMessageHandler previous;
};

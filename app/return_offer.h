#pragma once
// A button in the abonent panel offering to choose again the modem that was current when it was
// lost, once it reports again; nothing is sent until the operator clicks it.

#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QString>

class QGridLayout;

class ReturnOffer : public QObject {
    Q_OBJECT

public:
    explicit ReturnOffer(QObject* parent = nullptr);

    // Puts the (hidden) button in a new last row of the layout.
    void place(QGridLayout* layout);
    QPushButton* button() const { return offerButton; }

public slots:
    void offer(const QString& key);
    void withdraw();

signals:
    void accepted(const QString& key);

private:
    // Owned by the panel it is placed in.
    QPointer<QPushButton> offerButton;
    QString offered;
};

#include "return_offer.h"

#include <QGridLayout>

ReturnOffer::ReturnOffer(QObject* parent)
    : QObject(parent)
    , offerButton(new QPushButton)
{
    offerButton->setObjectName(QStringLiteral("op_return_offer_pb"));
    offerButton->hide();
    connect(offerButton, &QPushButton::clicked, this, [this] {
        const QString key = offered;
        withdraw();
        emit accepted(key);
    });
}

void ReturnOffer::place(QGridLayout* layout)
{
    layout->addWidget(offerButton, layout->rowCount(), 0, 1, layout->columnCount());
}

void ReturnOffer::offer(const QString& key)
{
    offered = key;
    offerButton->setText(QStringLiteral("Снова выбрать %1").arg(key));
    offerButton->setToolTip(QStringLiteral("Модем %1 был текущим абонентом и снова на связи").arg(key));
    offerButton->show();
}

void ReturnOffer::withdraw()
{
    offered.clear();
    offerButton->hide();
}

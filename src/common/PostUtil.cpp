#include "PostUtil.h"

#include <QNetworkAccessManager>

PostUtil::PostUtil(QObject *parent) : QObject(parent), m_manager(new QNetworkAccessManager(this))
{
    m_manager->setTransferTimeout(transferTimeoutMs);
}

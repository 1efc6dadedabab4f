#include "JsBridge.h"

JsBridge::JsBridge(QObject *parent) : QObject(parent) {}

void JsBridge::slotWebMsg(const QString &funcName, const QString &param)
{
    emit signalWebMsg(funcName, param);
}

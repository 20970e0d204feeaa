#include "deviceitem.h"

DeviceItem::DeviceItem(const QString& info) : m_info(info) {}

#include "AppInfoItem.h"

#include <QMetaType>

#include <string>

void registerAppRecordMetaTypes()
{
    qRegisterMetaType<AppInfoItem>("AppInfoItem");
    qRegisterMetaType<AppInfoItem *>("AppInfoItem *");
    qRegisterMetaType<AppInfoItemMap>("AppInfoItemMap");
    qRegisterMetaType<DocItemInfo>("DocItemInfo");
    qRegisterMetaType<DATACHANGED_REASON>("DATACHANGED_REASON");
    qRegisterMetaType<std::string>("std::string");
}

#pragma once

#include "ZAppInfoItem.h"

#include <QVariant>

// Reading the parameter lists of the task kinds. An app travels as the
// address of its ZAppInfoItem in an unsigned 64-bit variant; the kinds copy
// what they need at once and never keep the address.
namespace AppTaskParams {

inline QVariant appHandle(const ZAppInfoItem *item)
{
    return QVariant::fromValue<quint64>(quint64(reinterpret_cast<quintptr>(item)));
}

inline const ZAppInfoItem *appItem(const QVariantList &params, int index)
{
    return reinterpret_cast<const ZAppInfoItem *>(quintptr(params.value(index).toULongLong()));
}

} // namespace AppTaskParams

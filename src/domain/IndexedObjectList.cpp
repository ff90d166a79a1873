#include "IndexedObjectList.h"

EIndexOutOfBoudsException::EIndexOutOfBoudsException(int Index)
    : EQuorvaneException(QStringLiteral("Index %1 is out of bounds.").arg(Index))
{
}

EListIndexError::EListIndexError(int Index)
    : EQuorvaneException(QStringLiteral("List index out of bounds (%1).").arg(Index))
{
}
